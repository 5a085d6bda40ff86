#include "common/timestamp_token.h"

namespace timestamp {

namespace {

constexpr std::uint8_t kTagInteger = 0x02;
constexpr std::uint8_t kTagOctetString = 0x04;
constexpr std::uint8_t kTagOid = 0x06;
constexpr std::uint8_t kTagUtcTime = 0x17;
constexpr std::uint8_t kTagGeneralizedTime = 0x18;
constexpr std::uint8_t kTagSequence = 0x30;
constexpr std::uint8_t kTagSet = 0x31;
constexpr std::uint8_t kTagContext0 = 0xA0;  // constructed [0]
constexpr std::uint8_t kTagContext1 = 0xA1;

constexpr char kOidSignedData[] = "1.2.840.113549.1.7.2";
constexpr char kOidMessageDigest[] = "1.2.840.113549.1.9.4";
constexpr char kOidSigningTime[] = "1.2.840.113549.1.9.5";

// One TLV: its tag, its content and the whole encoding.
struct Tlv {
  std::uint8_t tag = 0;
  const std::uint8_t* content = nullptr;
  std::size_t length = 0;
  const std::uint8_t* whole = nullptr;
  std::size_t whole_length = 0;
};

// Reads consecutive TLVs of DER from a span; only single-byte tags and
// definite lengths of at most four bytes.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  explicit Reader(const Tlv& t) : Reader(t.content, t.length) {}
  bool AtEnd() const { return p_ == end_; }
  bool PeekTag(std::uint8_t* tag) const {
    if (AtEnd()) return false;
    *tag = *p_;
    return true;
  }
  bool Next(Tlv* t) {
    const std::size_t avail = static_cast<std::size_t>(end_ - p_);
    if (avail < 2) return false;
    const std::uint8_t tag = p_[0];
    if ((tag & 0x1F) == 0x1F) return false;  // multi-byte tag
    std::size_t length = p_[1];
    std::size_t header = 2;
    if (length & 0x80) {
      const std::size_t count = length & 0x7F;
      if (count == 0 || count > 4 || avail < 2 + count) return false;
      length = 0;
      for (std::size_t i = 0; i < count; ++i) length = length << 8 | p_[2 + i];
      header += count;
    }
    if (length > avail - header) return false;
    t->tag = tag;
    t->whole = p_;
    t->whole_length = header + length;
    t->content = p_ + header;
    t->length = length;
    p_ += t->whole_length;
    return true;
  }
  bool Expect(std::uint8_t tag, Tlv* t) { return Next(t) && t->tag == tag; }
  // Skips one TLV when it has this tag.
  bool SkipIf(std::uint8_t tag) {
    std::uint8_t next = 0;
    Tlv ignored;
    return PeekTag(&next) && next == tag && Next(&ignored);
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

Bytes Copy(const std::uint8_t* p, std::size_t n) { return Bytes(p, p + n); }

bool ReadOid(Reader& r, std::string* oid) {
  Tlv t;
  if (!r.Expect(kTagOid, &t)) return false;
  *oid = OidText(t.content, t.length);
  return !oid->empty();
}

// AlgorithmIdentifier: SEQUENCE { OID, parameters OPTIONAL }.
bool ReadAlgorithm(Reader& r, std::string* oid) {
  Tlv seq;
  if (!r.Expect(kTagSequence, &seq)) return false;
  Reader in(seq);
  return ReadOid(in, oid);
}

bool ReadTime(const Tlv& t, Time* out) {
  const std::string text(reinterpret_cast<const char*>(t.content), t.length);
  if (t.tag == kTagUtcTime) return ParseUtcTime(text, out);
  if (t.tag == kTagGeneralizedTime) return ParseGeneralizedTime(text, out);
  return false;
}

// The signed attributes: messageDigest (required) and signingTime.
bool ReadSignedAttributes(const Tlv& attrs, SignerInfo* out) {
  Reader r(attrs);
  bool have_digest = false;
  while (!r.AtEnd()) {
    Tlv attr, values, value;
    if (!r.Expect(kTagSequence, &attr)) return false;
    Reader in(attr);
    std::string type;
    if (!ReadOid(in, &type) || !in.Expect(kTagSet, &values)) return false;
    Reader vr(values);
    if (!vr.Next(&value) || !vr.AtEnd()) continue;  // only single-valued ones count
    if (type == kOidMessageDigest) {
      if (value.tag != kTagOctetString || have_digest) return false;
      out->message_digest = Copy(value.content, value.length);
      have_digest = true;
    } else if (type == kOidSigningTime) {
      Time time;
      if (!ReadTime(value, &time)) return false;
      out->signing_time = time;
    }
  }
  return have_digest;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool Digits(const std::string& s, std::size_t at, std::size_t n, int* out) {
  if (at + n > s.size()) return false;
  int v = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (!IsDigit(s[at + i])) return false;
    v = v * 10 + (s[at + i] - '0');
  }
  *out = v;
  return true;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool IsValid(const Time& t) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.month < 1 || t.month > 12 || t.day < 1) return false;
  const int days = kDays[t.month - 1] + (t.month == 2 && IsLeap(t.year) ? 1 : 0);
  return t.year >= 1601 && t.day <= days && t.hour <= 23 && t.minute <= 59 && t.second <= 59;
}

// Definite-length header for a TLV of this tag and content length.
void AppendHeader(Bytes* out, std::uint8_t tag, std::size_t length) {
  out->push_back(tag);
  if (length < 0x80) {
    out->push_back(static_cast<std::uint8_t>(length));
    return;
  }
  std::uint8_t bytes[4];
  int count = 0;
  for (std::size_t v = length; v; v >>= 8) bytes[count++] = static_cast<std::uint8_t>(v);
  out->push_back(static_cast<std::uint8_t>(0x80 | count));
  while (count) out->push_back(bytes[--count]);
}

}  // namespace

Bytes RsaSignedBlob(const SignerInfo& signer) {
  // sha{1,256,384,512}WithRSAEncryption: 1.2.840.113549.1.1.{5,11,12,13}
  std::uint8_t last = 0;
  if (signer.digest_oid == kOidSha1) last = 5;
  else if (signer.digest_oid == kOidSha256) last = 11;
  else if (signer.digest_oid == kOidSha384) last = 12;
  else if (signer.digest_oid == kOidSha512) last = 13;
  if (!last || signer.signed_attrs.empty()) return {};
  const Bytes algorithm = {0x30, 0x0D, 0x06, 0x09, 0x2A, 0x86, 0x48, 0x86, 0xF7,
                           0x0D, 0x01, 0x01, last, 0x05, 0x00};
  Bytes bits;
  AppendHeader(&bits, 0x03, signer.signature.size() + 1);
  bits.push_back(0);  // no unused bits
  bits.insert(bits.end(), signer.signature.begin(), signer.signature.end());
  Bytes blob;
  AppendHeader(&blob, kTagSequence, signer.signed_attrs.size() + algorithm.size() + bits.size());
  blob.insert(blob.end(), signer.signed_attrs.begin(), signer.signed_attrs.end());
  blob.insert(blob.end(), algorithm.begin(), algorithm.end());
  blob.insert(blob.end(), bits.begin(), bits.end());
  return blob;
}

std::string OidText(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || (data[size - 1] & 0x80)) return std::string();
  std::string text;
  std::uint64_t value = 0;
  bool first = true;
  for (std::size_t i = 0; i < size; ++i) {
    if (value == 0 && data[i] == 0x80) return std::string();  // padded
    if (value > (UINT64_MAX >> 8)) return std::string();
    value = value << 7 | (data[i] & 0x7F);
    if (data[i] & 0x80) continue;
    if (first) {
      const std::uint64_t arc = value < 80 ? value / 40 : 2;
      text = std::to_string(arc) + "." + std::to_string(value - arc * 40);
      first = false;
    } else {
      text += "." + std::to_string(value);
    }
    value = 0;
  }
  return text;
}

bool ParseUtcTime(const std::string& text, Time* out) {
  Time t;
  if (text.size() != 13 || text[12] != 'Z') return false;
  int yy = 0;
  if (!Digits(text, 0, 2, &yy) || !Digits(text, 2, 2, &t.month) || !Digits(text, 4, 2, &t.day) ||
      !Digits(text, 6, 2, &t.hour) || !Digits(text, 8, 2, &t.minute) ||
      !Digits(text, 10, 2, &t.second))
    return false;
  t.year = yy < 50 ? 2000 + yy : 1900 + yy;
  if (!IsValid(t)) return false;
  *out = t;
  return true;
}

bool ParseGeneralizedTime(const std::string& text, Time* out) {
  Time t;
  if (text.size() < 15 || text.back() != 'Z') return false;
  if (!Digits(text, 0, 4, &t.year) || !Digits(text, 4, 2, &t.month) ||
      !Digits(text, 6, 2, &t.day) || !Digits(text, 8, 2, &t.hour) ||
      !Digits(text, 10, 2, &t.minute) || !Digits(text, 12, 2, &t.second))
    return false;
  if (text.size() > 15) {
    // Fractions: "." and at least one digit before the "Z".
    if (text[14] != '.' || text.size() < 17) return false;
    for (std::size_t i = 15; i + 1 < text.size(); ++i)
      if (!IsDigit(text[i])) return false;
  }
  if (!IsValid(t)) return false;
  *out = t;
  return true;
}

bool ParseSignerInfo(const std::uint8_t* data, std::size_t size, SignerInfo* out) {
  Reader outer(data, size);
  Tlv seq, version, sid, issuer, serial, attrs, signature;
  if (!outer.Expect(kTagSequence, &seq) || !outer.AtEnd()) return false;
  Reader r(seq);
  SignerInfo info;
  if (!r.Expect(kTagInteger, &version) || !r.Expect(kTagSequence, &sid)) return false;
  Reader sr(sid);
  if (!sr.Expect(kTagSequence, &issuer) || !sr.Expect(kTagInteger, &serial) || !sr.AtEnd() ||
      serial.length == 0)
    return false;
  info.issuer = Copy(issuer.whole, issuer.whole_length);
  info.serial = Copy(serial.content, serial.length);
  if (!ReadAlgorithm(r, &info.digest_oid)) return false;
  if (!r.Expect(kTagContext0, &attrs) || !ReadSignedAttributes(attrs, &info)) return false;
  // They are signed as a SET OF, not with their implicit [0] tag.
  info.signed_attrs = Copy(attrs.whole, attrs.whole_length);
  info.signed_attrs[0] = kTagSet;
  std::string signature_oid;
  if (!ReadAlgorithm(r, &signature_oid) || !r.Expect(kTagOctetString, &signature) ||
      signature.length == 0)
    return false;
  info.signature = Copy(signature.content, signature.length);
  r.SkipIf(kTagContext1);  // unsigned attributes
  if (!r.AtEnd()) return false;
  *out = std::move(info);
  return true;
}

bool ParseToken(const std::uint8_t* data, std::size_t size, Token* out) {
  Reader outer(data, size);
  Tlv content_info, explicit0, signed_data, version, digests, encap, e0, octets, certs, signers,
      signer;
  if (!outer.Expect(kTagSequence, &content_info) || !outer.AtEnd()) return false;
  Reader ci(content_info);
  std::string type;
  if (!ReadOid(ci, &type) || type != kOidSignedData || !ci.Expect(kTagContext0, &explicit0))
    return false;
  Reader ex(explicit0);
  if (!ex.Expect(kTagSequence, &signed_data)) return false;
  Reader sd(signed_data);
  if (!sd.Expect(kTagInteger, &version) || !sd.Expect(kTagSet, &digests) ||
      !sd.Expect(kTagSequence, &encap))
    return false;
  Token token;
  Reader en(encap);
  std::string content_type;
  if (!ReadOid(en, &content_type) || !en.Expect(kTagContext0, &e0)) return false;
  Reader e0r(e0);
  if (!e0r.Expect(kTagOctetString, &octets) || !e0r.AtEnd()) return false;
  token.tst_info = Copy(octets.content, octets.length);
  std::uint8_t tag = 0;
  if (sd.PeekTag(&tag) && tag == kTagContext0) {
    sd.Next(&certs);
    Reader cr(certs);
    while (!cr.AtEnd()) {
      Tlv cert;
      if (!cr.Next(&cert)) return false;
      if (cert.tag == kTagSequence) token.certificates.push_back(Copy(cert.whole, cert.whole_length));
    }
  }
  sd.SkipIf(kTagContext1);  // revocation lists
  if (!sd.Expect(kTagSet, &signers) || !sd.AtEnd()) return false;
  Reader signer_set(signers);
  if (!signer_set.Next(&signer) || !signer_set.AtEnd()) return false;
  if (!ParseSignerInfo(signer.whole, signer.whole_length, &token.signer)) return false;
  *out = std::move(token);
  return true;
}

bool ParseTstInfo(const std::uint8_t* data, std::size_t size, TstInfo* out) {
  Reader outer(data, size);
  Tlv first;
  if (!outer.Next(&first) || !outer.AtEnd()) return false;
  if (first.tag == kTagOctetString) {  // one wrapping at most
    Reader inner(first);
    if (!inner.Next(&first) || !inner.AtEnd()) return false;
  }
  if (first.tag != kTagSequence) return false;
  Reader r(first);
  Tlv version, imprint, hashed, serial, gen_time;
  std::string policy;
  TstInfo info;
  if (!r.Expect(kTagInteger, &version) || !ReadOid(r, &policy) ||
      !r.Expect(kTagSequence, &imprint))
    return false;
  Reader ir(imprint);
  if (!ReadAlgorithm(ir, &info.imprint_oid) || !ir.Expect(kTagOctetString, &hashed) ||
      !ir.AtEnd())
    return false;
  info.imprint = Copy(hashed.content, hashed.length);
  if (!r.Expect(kTagInteger, &serial) || !r.Expect(kTagGeneralizedTime, &gen_time) ||
      !ReadTime(gen_time, &info.gen_time))
    return false;
  *out = std::move(info);
  return true;
}

}  // namespace timestamp
