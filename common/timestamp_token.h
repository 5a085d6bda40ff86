#pragma once
// The parts of an Authenticode timestamp that the signature check needs,
// read from DER: the RFC 3161 token (a CMS SignedData over a TSTInfo) and
// the older countersignature (a bare SignerInfo). Plain C++ (no Windows
// headers): the bytes come from the installer file, so every length is
// checked and nothing is read outside the input.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace timestamp {

// Unauthenticated attributes of the installer's signer that carry a time.
inline constexpr char kOidRfc3161Token[] = "1.3.6.1.4.1.311.3.3.1";
inline constexpr char kOidCounterSignature[] = "1.2.840.113549.1.9.6";

inline constexpr char kOidSha1[] = "1.3.14.3.2.26";
inline constexpr char kOidSha256[] = "2.16.840.1.101.3.4.2.1";
inline constexpr char kOidSha384[] = "2.16.840.1.101.3.4.2.2";
inline constexpr char kOidSha512[] = "2.16.840.1.101.3.4.2.3";

using Bytes = std::vector<std::uint8_t>;

// A UTC time; seconds without fractions.
struct Time {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const Time&) const = default;
};

struct SignerInfo {
  Bytes issuer;          // the issuer Name, whole TLV as encoded
  Bytes serial;          // the serial INTEGER's content octets, big-endian
  std::string digest_oid;
  Bytes signed_attrs;    // the signed attributes re-tagged as a SET (0x31), as signed
  Bytes message_digest;  // the messageDigest attribute's octets
  std::optional<Time> signing_time;  // the signingTime attribute
  Bytes signature;
};

struct Token {
  SignerInfo signer;
  Bytes tst_info;                 // the encapsulated TSTInfo, as signed
  std::vector<Bytes> certificates;  // certificates carried in the token
};

struct TstInfo {
  std::string imprint_oid;
  Bytes imprint;  // hash of the installer signature's encrypted digest
  Time gen_time;
};

// Each false when the input is not of that shape: wrong tags, lengths
// that overrun, indefinite lengths, a signer identified other than by
// issuer and serial number, no signed attributes or no messageDigest.
bool ParseSignerInfo(const std::uint8_t* data, std::size_t size, SignerInfo* out);
// A ContentInfo of type signedData with exactly one signer.
bool ParseToken(const std::uint8_t* data, std::size_t size, Token* out);
// Also accepts the TSTInfo wrapped in an OCTET STRING, as some crypto
// libraries hand out encapsulated content.
bool ParseTstInfo(const std::uint8_t* data, std::size_t size, TstInfo* out);

// The signer's signature over its signed attributes as an X.509 signed
// blob (SEQUENCE { attributes, AlgorithmIdentifier of RSA with the
// signer's digest, BIT STRING signature }), the shape the platform's
// certificate signature check verifies; empty for a digest it has no RSA
// signature algorithm for.
Bytes RsaSignedBlob(const SignerInfo& signer);

// "YYMMDDHHMMSSZ" (years 50-99 are 19xx) and "YYYYMMDDHHMMSS[.f...]Z";
// false for anything else or an impossible date.
bool ParseUtcTime(const std::string& text, Time* out);
bool ParseGeneralizedTime(const std::string& text, Time* out);

// Dotted text of an OBJECT IDENTIFIER's content octets; empty when malformed.
std::string OidText(const std::uint8_t* data, std::size_t size);

}  // namespace timestamp
