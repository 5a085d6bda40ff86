#pragma once
// Owners for CryptoAPI objects, in the style of handle.h.
#include <windows.h>
#include <wincrypt.h>

#include "common/framework/handle.h"

namespace zu {

struct CertStoreTraits {
  using Type = HCERTSTORE;
  static HCERTSTORE Invalid() { return nullptr; }
  static bool Valid(HCERTSTORE h) { return h != nullptr; }
  static void Close(HCERTSTORE h) { ::CertCloseStore(h, 0); }
};
struct CertContextTraits {
  using Type = PCCERT_CONTEXT;
  static PCCERT_CONTEXT Invalid() { return nullptr; }
  static bool Valid(PCCERT_CONTEXT h) { return h != nullptr; }
  static void Close(PCCERT_CONTEXT h) { ::CertFreeCertificateContext(h); }
};
struct CertChainTraits {
  using Type = PCCERT_CHAIN_CONTEXT;
  static PCCERT_CHAIN_CONTEXT Invalid() { return nullptr; }
  static bool Valid(PCCERT_CHAIN_CONTEXT h) { return h != nullptr; }
  static void Close(PCCERT_CHAIN_CONTEXT h) { ::CertFreeCertificateChain(h); }
};
struct CryptProvTraits {
  using Type = HCRYPTPROV;
  static HCRYPTPROV Invalid() { return 0; }
  static bool Valid(HCRYPTPROV h) { return h != 0; }
  static void Close(HCRYPTPROV h) { ::CryptReleaseContext(h, 0); }
};
struct CryptKeyTraits {
  using Type = HCRYPTKEY;
  static HCRYPTKEY Invalid() { return 0; }
  static bool Valid(HCRYPTKEY h) { return h != 0; }
  static void Close(HCRYPTKEY h) { ::CryptDestroyKey(h); }
};
struct CryptHashTraits {
  using Type = HCRYPTHASH;
  static HCRYPTHASH Invalid() { return 0; }
  static bool Valid(HCRYPTHASH h) { return h != 0; }
  static void Close(HCRYPTHASH h) { ::CryptDestroyHash(h); }
};
struct CryptMsgTraits {
  using Type = HCRYPTMSG;
  static HCRYPTMSG Invalid() { return nullptr; }
  static bool Valid(HCRYPTMSG h) { return h != nullptr; }
  static void Close(HCRYPTMSG h) { ::CryptMsgClose(h); }
};

using UniqueCertStore = UniqueResource<CertStoreTraits>;
using UniqueCertContext = UniqueResource<CertContextTraits>;
using UniqueCertChain = UniqueResource<CertChainTraits>;
using UniqueCryptProv = UniqueResource<CryptProvTraits>;
using UniqueCryptKey = UniqueResource<CryptKeyTraits>;
using UniqueCryptHash = UniqueResource<CryptHashTraits>;
using UniqueCryptMsg = UniqueResource<CryptMsgTraits>;

}  // namespace zu
