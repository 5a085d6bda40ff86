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
struct CryptHashTraits {
  using Type = HCRYPTHASH;
  static HCRYPTHASH Invalid() { return 0; }
  static bool Valid(HCRYPTHASH h) { return h != 0; }
  static void Close(HCRYPTHASH h) { ::CryptDestroyHash(h); }
};

using UniqueCertStore = UniqueResource<CertStoreTraits>;
using UniqueCertContext = UniqueResource<CertContextTraits>;
using UniqueCertChain = UniqueResource<CertChainTraits>;
using UniqueCryptHash = UniqueResource<CryptHashTraits>;

}  // namespace zu
