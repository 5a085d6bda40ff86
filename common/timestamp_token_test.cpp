#include "common/timestamp_token.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace timestamp {
namespace {

// DER built by hand, so that each test knows every byte it feeds in.
Bytes Tlv(std::uint8_t tag, const Bytes& content) {
  Bytes out{tag};
  const std::size_t n = content.size();
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 0x100) {
    out.insert(out.end(), {0x81, static_cast<std::uint8_t>(n)});
  } else {
    out.insert(out.end(), {0x82, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
  }
  out.insert(out.end(), content.begin(), content.end());
  return out;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes Seq(std::initializer_list<Bytes> parts) { return Tlv(0x30, Cat(parts)); }
Bytes Set(std::initializer_list<Bytes> parts) { return Tlv(0x31, Cat(parts)); }
Bytes Text(std::uint8_t tag, const std::string& s) { return Tlv(tag, Bytes(s.begin(), s.end())); }
Bytes Int(std::initializer_list<std::uint8_t> v) { return Tlv(0x02, Bytes(v)); }
Bytes Octets(const Bytes& v) { return Tlv(0x04, v); }

// OIDs in their encoded form.
const Bytes kSha256 = Tlv(0x06, {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01});
const Bytes kRsa = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01});
const Bytes kMessageDigest = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x04});
const Bytes kSigningTime = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x05});
const Bytes kContentType = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x03});
const Bytes kSignedData = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x07, 0x02});
const Bytes kTstInfoType = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x09, 0x10, 0x01, 0x04});
const Bytes kPolicy = Tlv(0x06, {0x2A, 0x03, 0x04, 0x01});

const Bytes kIssuer = Seq({Set({Seq({Tlv(0x06, {0x55, 0x04, 0x03}), Text(0x0C, "ZU Test TSA")})})});
const Bytes kDigest(32, 0xD1);

Bytes SignerInfoDer(const Bytes& attrs, const Bytes& sid = Seq({kIssuer, Int({0x00, 0x9B})})) {
  return Seq({Int({1}), sid, Seq({kSha256, Tlv(0x05, {})}), attrs, Seq({kRsa, Tlv(0x05, {})}),
              Octets(Bytes(256, 0x5A))});
}
Bytes Attrs(std::initializer_list<Bytes> list) { return Tlv(0xA0, Cat(list)); }
Bytes DigestAttr(const Bytes& digest) { return Seq({kMessageDigest, Set({Octets(digest)})}); }

TEST(TimestampTokenTest, ReadsACountersignatureSignerInfo) {
  const Bytes attrs = Attrs({Seq({kContentType, Set({Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7,
                                                                0x0D, 0x01, 0x07, 0x01})})}),
                             Seq({kSigningTime, Set({Text(0x17, "200601120000Z")})}),
                             DigestAttr(kDigest)});
  const Bytes der = SignerInfoDer(attrs);
  SignerInfo info;
  ASSERT_TRUE(ParseSignerInfo(der.data(), der.size(), &info));
  EXPECT_EQ(info.issuer, kIssuer);
  EXPECT_EQ(info.serial, (Bytes{0x00, 0x9B}));
  EXPECT_EQ(info.digest_oid, kOidSha256);
  EXPECT_EQ(info.message_digest, kDigest);
  ASSERT_TRUE(info.signing_time.has_value());
  EXPECT_EQ(*info.signing_time, (Time{2020, 6, 1, 12, 0, 0}));
  EXPECT_EQ(info.signature, Bytes(256, 0x5A));
  // What was signed: the attributes under a SET tag instead of [0].
  Bytes expected = attrs;
  expected[0] = 0x31;
  EXPECT_EQ(info.signed_attrs, expected);
}

TEST(TimestampTokenTest, RefusesSignerInfosItCannotCheck) {
  const Bytes digest_only = Attrs({DigestAttr(kDigest)});
  struct Case {
    const char* what;
    Bytes der;
  } cases[] = {
      {"no signed attributes",
       Seq({Int({1}), Seq({kIssuer, Int({1})}), Seq({kSha256}), Seq({kRsa}), Octets({1})})},
      {"no message digest", SignerInfoDer(Attrs({Seq({kSigningTime, Set({Text(0x17,
                                                                         "200601120000Z")})})}))},
      {"two message digests", SignerInfoDer(Attrs({DigestAttr(kDigest), DigestAttr(kDigest)}))},
      {"subject key identifier", SignerInfoDer(digest_only, Tlv(0x80, {1, 2, 3}))},
      {"empty serial", SignerInfoDer(digest_only, Seq({kIssuer, Tlv(0x02, {})}))},
      {"bad signing time", SignerInfoDer(Attrs({DigestAttr(kDigest),
                                                Seq({kSigningTime, Set({Text(0x17,
                                                                             "201301120000Z")})})}))},
      {"trailing bytes", Cat({SignerInfoDer(digest_only), Bytes{0}})},
      {"empty", {}},
  };
  for (const Case& c : cases) {
    SignerInfo info;
    EXPECT_FALSE(ParseSignerInfo(c.der.data(), c.der.size(), &info)) << c.what;
  }
  // Every cut of a good encoding is refused, and never read past.
  const Bytes good = SignerInfoDer(digest_only);
  for (std::size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + n);
    SignerInfo info;
    EXPECT_FALSE(ParseSignerInfo(cut.data(), cut.size(), &info)) << n;
  }
}

Bytes TstInfoDer(const std::string& gen_time) {
  return Seq({Int({1}), kPolicy, Seq({Seq({kSha256, Tlv(0x05, {})}), Octets(kDigest)}),
              Int({0x42}), Text(0x18, gen_time)});
}

Bytes TokenDer(const Bytes& tst, const Bytes& signers) {
  const Bytes cert = Seq({Seq({Int({1})}), Seq({kRsa}), Tlv(0x03, {0, 1})});
  const Bytes signed_data = Seq({Int({3}), Set({Seq({kSha256})}),
                                 Seq({kTstInfoType, Tlv(0xA0, Octets(tst))}), Tlv(0xA0, cert),
                                 signers});
  return Seq({kSignedData, Tlv(0xA0, signed_data)});
}

TEST(TimestampTokenTest, ReadsAnRfc3161TokenAndItsTstInfo) {
  const Bytes tst = TstInfoDer("20200601123456.25Z");
  const Bytes signer = SignerInfoDer(Attrs({DigestAttr(kDigest)}));
  const Bytes der = TokenDer(tst, Set({signer}));
  Token token;
  ASSERT_TRUE(ParseToken(der.data(), der.size(), &token));
  EXPECT_EQ(token.tst_info, tst);
  ASSERT_EQ(token.certificates.size(), 1u);
  EXPECT_EQ(token.signer.message_digest, kDigest);

  TstInfo info;
  ASSERT_TRUE(ParseTstInfo(tst.data(), tst.size(), &info));
  EXPECT_EQ(info.imprint_oid, kOidSha256);
  EXPECT_EQ(info.imprint, kDigest);
  EXPECT_EQ(info.gen_time, (Time{2020, 6, 1, 12, 34, 56}));
  // The same content handed out inside an OCTET STRING, once.
  const Bytes wrapped = Octets(tst);
  EXPECT_TRUE(ParseTstInfo(wrapped.data(), wrapped.size(), &info));
  const Bytes twice = Octets(wrapped);
  EXPECT_FALSE(ParseTstInfo(twice.data(), twice.size(), &info));

  Token refused;
  const Bytes two_signers = TokenDer(tst, Set({signer, signer}));
  EXPECT_FALSE(ParseToken(two_signers.data(), two_signers.size(), &refused));
  const Bytes no_signer = TokenDer(tst, Set({}));
  EXPECT_FALSE(ParseToken(no_signer.data(), no_signer.size(), &refused));
  for (std::size_t n = 0; n < der.size(); ++n)
    EXPECT_FALSE(ParseToken(der.data(), n, &refused)) << n;
}

TEST(TimestampTokenTest, SignedBlobWrapsTheAttributesForTheCertificateCheck) {
  SignerInfo signer;
  signer.digest_oid = kOidSha256;
  signer.signed_attrs = Set({DigestAttr(kDigest)});
  signer.signature = Bytes(256, 0x77);
  const Bytes blob = RsaSignedBlob(signer);
  const Bytes sha256_rsa = Seq({Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0B}),
                                Tlv(0x05, {})});
  Bytes bits = signer.signature;
  bits.insert(bits.begin(), 0);
  EXPECT_EQ(blob, Seq({signer.signed_attrs, sha256_rsa, Tlv(0x03, bits)}));
  signer.digest_oid = "1.2.840.113549.2.5";  // MD5: not accepted
  EXPECT_TRUE(RsaSignedBlob(signer).empty());
}

TEST(TimestampTokenTest, TimesAndOids) {
  struct Case {
    const char* text;
    bool generalized;
    bool ok;
    Time time;
  } cases[] = {
      {"491231235959Z", false, true, {2049, 12, 31, 23, 59, 59}},
      {"500101000000Z", false, true, {1950, 1, 1, 0, 0, 0}},
      {"240229000000Z", false, true, {2024, 2, 29, 0, 0, 0}},
      {"230229000000Z", false, false, {}},
      {"200601120000", false, false, {}},
      {"2006011200Z", false, false, {}},
      {"20a601120000Z", false, false, {}},
      {"200631120000Z", false, false, {}},
      {"200601240000Z", false, false, {}},
      {"20200601120000Z", true, true, {2020, 6, 1, 12, 0, 0}},
      {"20200601120000.5Z", true, true, {2020, 6, 1, 12, 0, 0}},
      {"20200601120000.Z", true, false, {}},
      {"20200601120000+0100", true, false, {}},
      {"21000229000000Z", true, false, {}},
      {"20001301000000Z", true, false, {}},
  };
  for (const Case& c : cases) {
    Time t;
    const bool ok = c.generalized ? ParseGeneralizedTime(c.text, &t) : ParseUtcTime(c.text, &t);
    EXPECT_EQ(ok, c.ok) << c.text;
    if (ok && c.ok) {
      EXPECT_EQ(t, c.time) << c.text;
    }
  }
  const std::uint8_t sha256[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
  EXPECT_EQ(OidText(sha256, sizeof sha256), kOidSha256);
  const std::uint8_t token[] = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x03, 0x03, 0x01};
  EXPECT_EQ(OidText(token, sizeof token), kOidRfc3161Token);
  const std::uint8_t unfinished[] = {0x2B, 0x86};
  EXPECT_EQ(OidText(unfinished, sizeof unfinished), "");
  const std::uint8_t padded[] = {0x2B, 0x80, 0x01};
  EXPECT_EQ(OidText(padded, sizeof padded), "");
}

}  // namespace
}  // namespace timestamp
