#include "common/authenticode.h"

#include <softpub.h>
#include <wintrust.h>

#include <algorithm>
#include <vector>

#include "common/framework/crypt.h"
#include "common/timestamp_token.h"

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Ends the trust provider's state whatever happens in between.
class TrustState {
 public:
  TrustState(HANDLE file, const std::wstring& path) {
    file_info_.cbStruct = sizeof file_info_;
    file_info_.pcwszFilePath = path.c_str();
    file_info_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_info_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    result_ = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;

  LONG result() const { return result_; }
  HCRYPTMSG message() const {
    CRYPT_PROVIDER_DATA* data = ::WTHelperProvDataFromStateData(data_.hWVTStateData);
    return data ? data->hMsg : nullptr;
  }

 private:
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_info_ = {};
  WINTRUST_DATA data_ = {};
  LONG result_ = 0;
};

// A CryptMsgGetParam answer as bytes; empty when the message has none.
std::vector<BYTE> MsgParam(HCRYPTMSG msg, DWORD param) {
  DWORD size = 0;
  if (!::CryptMsgGetParam(msg, param, 0, nullptr, &size) || size == 0) return {};
  std::vector<BYTE> bytes(size);
  if (!::CryptMsgGetParam(msg, param, 0, bytes.data(), &size)) return {};
  bytes.resize(size);
  return bytes;
}

ALG_ID HashAlgorithm(const std::string& oid) {
  if (oid == timestamp::kOidSha1) return CALG_SHA1;
  if (oid == timestamp::kOidSha256) return CALG_SHA_256;
  if (oid == timestamp::kOidSha384) return CALG_SHA_384;
  if (oid == timestamp::kOidSha512) return CALG_SHA_512;
  return 0;
}

// One provider for hashing, SHA-2 included.
HCRYPTPROV Provider() {
  static const HCRYPTPROV provider = [] {
    HCRYPTPROV p = 0;
    if (!::CryptAcquireContextW(&p, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) p = 0;
    return p;
  }();
  return provider;
}

zu::UniqueCryptHash HashOf(const std::string& oid, const BYTE* data, std::size_t size) {
  zu::UniqueCryptHash hash;
  const ALG_ID alg = HashAlgorithm(oid);
  if (!alg || !Provider() || !::CryptCreateHash(Provider(), alg, 0, 0, hash.put()) ||
      !::CryptHashData(hash.get(), data, static_cast<DWORD>(size), 0))
    return {};
  return hash;
}

bool DigestEquals(const std::string& oid, const std::vector<BYTE>& data,
                  const std::vector<BYTE>& expected) {
  zu::UniqueCryptHash hash = HashOf(oid, data.data(), data.size());
  if (!hash) return false;
  BYTE value[64];
  DWORD size = sizeof value;
  if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, value, &size, 0)) return false;
  return expected.size() == size && std::equal(expected.begin(), expected.end(), value);
}

// The certificate named by a signer's issuer and serial number.
zu::UniqueCertContext FindSignerCertificate(HCERTSTORE store, const timestamp::SignerInfo& s) {
  // CERT_INFO keeps serial numbers least significant byte first.
  std::vector<BYTE> serial(s.serial.rbegin(), s.serial.rend());
  std::vector<BYTE> issuer(s.issuer.begin(), s.issuer.end());
  CERT_INFO id = {};
  id.Issuer = {static_cast<DWORD>(issuer.size()), issuer.data()};
  id.SerialNumber = {static_cast<DWORD>(serial.size()), serial.data()};
  return zu::UniqueCertContext(
      ::CertGetSubjectCertificateFromStore(store, kEncoding, &id));
}

// The signer's signature over its signed attributes, by this
// certificate's key.
bool SignatureVerifies(PCCERT_CONTEXT cert, const timestamp::SignerInfo& s) {
  timestamp::Bytes blob = timestamp::RsaSignedBlob(s);
  if (blob.empty()) return false;
  CRYPT_DATA_BLOB subject = {static_cast<DWORD>(blob.size()), blob.data()};
  return ::CryptVerifyCertificateSignatureEx(
             0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_BLOB, &subject,
             CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT, const_cast<CERT_CONTEXT*>(cert), 0,
             nullptr) != FALSE;
}

// The chain policy's verdict on a chain built for one usage at a time
// (now when null); 0 when it passes.
DWORD ChainPolicyError(PCCERT_CONTEXT cert, const FILETIME* at, HCERTSTORE extra,
                       const char* usage, LPCSTR policy) {
  LPSTR usages[] = {const_cast<LPSTR>(usage)};
  CERT_CHAIN_PARA para = {};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  zu::UniqueCertChain chain;
  CERT_CHAIN_POLICY_PARA policy_para = {};
  policy_para.cbSize = sizeof policy_para;
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof status;
  if (!::CertGetCertificateChain(nullptr, cert, const_cast<FILETIME*>(at), extra, &para, 0,
                                 nullptr, chain.put()) ||
      !::CertVerifyCertificateChainPolicy(policy, chain.get(), &policy_para, &status))
    return static_cast<DWORD>(CERT_E_CHAINING);
  return status.dwError;
}

std::optional<FILETIME> ToFileTime(const timestamp::Time& t) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  FILETIME ft;
  if (!::SystemTimeToFileTime(&st, &ft)) return std::nullopt;
  return ft;
}

// A timestamp of the installer's signature counts when its time stamping
// authority signed it over the signature's encrypted digest and its chain
// ends in a trusted root and allows time stamping at that time.
std::optional<FILETIME> CheckTimestamp(const CRYPT_ATTRIBUTE& attr,
                                       const std::vector<BYTE>& encrypted_digest,
                                       HCERTSTORE message_store) {
  if (attr.cValue < 1) return std::nullopt;
  const CRYPT_ATTR_BLOB& value = attr.rgValue[0];
  timestamp::SignerInfo signer;
  timestamp::Time when;
  zu::UniqueCertStore token_store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!token_store) return std::nullopt;

  if (std::string(attr.pszObjId) == timestamp::kOidRfc3161Token) {
    timestamp::Token token;
    timestamp::TstInfo tst;
    if (!timestamp::ParseToken(value.pbData, value.cbData, &token) ||
        !timestamp::ParseTstInfo(token.tst_info.data(), token.tst_info.size(), &tst) ||
        !DigestEquals(token.signer.digest_oid, token.tst_info, token.signer.message_digest) ||
        !DigestEquals(tst.imprint_oid, encrypted_digest, tst.imprint))
      return std::nullopt;
    for (const timestamp::Bytes& der : token.certificates)
      ::CertAddEncodedCertificateToStore(token_store.get(), X509_ASN_ENCODING, der.data(),
                                         static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_USE_EXISTING, nullptr);
    signer = std::move(token.signer);
    when = tst.gen_time;
  } else {  // a countersignature: a SignerInfo over the encrypted digest
    if (!timestamp::ParseSignerInfo(value.pbData, value.cbData, &signer) ||
        !signer.signing_time ||
        !DigestEquals(signer.digest_oid, encrypted_digest, signer.message_digest))
      return std::nullopt;
    when = *signer.signing_time;
  }

  zu::UniqueCertStore all(::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  if (!all) return std::nullopt;
  ::CertAddStoreToCollection(all.get(), token_store.get(), 0, 0);
  ::CertAddStoreToCollection(all.get(), message_store, 0, 0);
  zu::UniqueCertContext tsa = FindSignerCertificate(all.get(), signer);
  std::optional<FILETIME> at = ToFileTime(when);
  if (!tsa || !at || !SignatureVerifies(tsa.get(), signer) ||
      ChainPolicyError(tsa.get(), &*at, all.get(), szOID_PKIX_KP_TIMESTAMP_SIGNING,
                       CERT_CHAIN_POLICY_BASE) != 0)
    return std::nullopt;
  return at;
}

std::optional<FILETIME> VerifiedTimestamp(HCRYPTMSG msg, HCERTSTORE message_store) {
  const std::vector<BYTE> info = MsgParam(msg, CMSG_SIGNER_INFO_PARAM);
  const std::vector<BYTE> unauth = MsgParam(msg, CMSG_SIGNER_UNAUTH_ATTR_PARAM);
  if (info.empty() || unauth.empty()) return std::nullopt;
  const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(info.data());
  const std::vector<BYTE> encrypted_digest(
      signer->EncryptedHash.pbData, signer->EncryptedHash.pbData + signer->EncryptedHash.cbData);
  const auto* attrs = reinterpret_cast<const CRYPT_ATTRIBUTES*>(unauth.data());
  for (DWORD i = 0; i < attrs->cAttr; ++i) {
    const std::string oid = attrs->rgAttr[i].pszObjId ? attrs->rgAttr[i].pszObjId : "";
    if (oid != timestamp::kOidRfc3161Token && oid != timestamp::kOidCounterSignature) continue;
    if (auto at = CheckTimestamp(attrs->rgAttr[i], encrypted_digest, message_store)) return at;
  }
  return std::nullopt;
}

}  // namespace

bool IsMakerSignerName(const std::wstring& name) {
  return name == L"Vexa Corporation" || name == L"Vexa Corporation of America";
}

SignatureCheck CheckInstallerSignature(HANDLE file, const std::wstring& path) {
  SignatureCheck check;
  check.trust = TRUST_E_NOSIGNATURE;
  if (path.empty() || file == nullptr || file == INVALID_HANDLE_VALUE) return check;
  TrustState trust(file, path);
  check.trust = trust.result();
  HCRYPTMSG msg = trust.message();
  if (check.trust != 0 || !msg) return check;

  zu::UniqueCertStore store(::CertOpenStore(CERT_STORE_PROV_MSG, kEncoding, 0, 0, msg));
  std::vector<BYTE> id = MsgParam(msg, CMSG_SIGNER_CERT_INFO_PARAM);
  if (!store || id.empty()) return check;
  zu::UniqueCertContext cert(::CertFindCertificateInStore(
      store.get(), kEncoding, 0, CERT_FIND_SUBJECT_CERT, id.data(), nullptr));
  if (!cert) return check;
  wchar_t name[256] = {};
  ::CertGetNameStringW(cert.get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
  check.signer = name;

  // Windows judges the chain itself; Wine's trust provider does not check
  // the root or the validity period, so the chain is checked here for both.
  check.timestamp = VerifiedTimestamp(msg, store.get());
  check.chain_error =
      ChainPolicyError(cert.get(), check.timestamp ? &*check.timestamp : nullptr, store.get(),
                       szOID_PKIX_KP_CODE_SIGNING, CERT_CHAIN_POLICY_AUTHENTICODE);
  check.passed = check.chain_error == 0 && IsMakerSignerName(check.signer);
  return check;
}
