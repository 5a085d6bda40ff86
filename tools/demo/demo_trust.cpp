// ZUDemoTrust: makes a code-signing root trusted on the lab PC, as a
// maker's PC image carries its root:
//   ZUDemoTrust ROOT.cer     (DER) into the machine's root store
// Exit code 0 when the store holds it afterwards.
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::vector<BYTE> der(64 * 1024);
  DWORD read = 0;
  const BOOL ok = ::ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &read, nullptr);
  ::CloseHandle(file);
  if (!ok || read == 0 || read == der.size()) return 1;
  HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) return 1;
  const BOOL added = ::CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, der.data(), read, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  ::CertCloseStore(store, 0);
  return added ? 0 : 1;
}
