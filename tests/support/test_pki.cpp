#include "tests/support/test_pki.h"

#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <vector>

#include "common/framework/crypt.h"

namespace zu::test {

namespace {

std::wstring PkiFolder() {
  wchar_t exe[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring bin(exe, n);
  bin = bin.substr(0, bin.rfind(L'\\'));
  return bin.substr(0, bin.rfind(L'\\')) + L"\\testpki";
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
  std::vector<BYTE> bytes;
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  LARGE_INTEGER size;
  if (::GetFileSizeEx(f, &size) && size.QuadPart < (1 << 20)) {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    if (!::ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
        got != bytes.size())
      bytes.clear();
  }
  ::CloseHandle(f);
  return bytes;
}

}  // namespace

std::wstring SignedInstaller(const std::wstring& name) { return PkiFolder() + L"\\signed\\" + name; }
std::wstring TestRootCertificate() { return PkiFolder() + L"\\root.cer"; }

TrustedTestRoot::TrustedTestRoot() {
  const std::vector<BYTE> der = ReadFileBytes(TestRootCertificate());
  if (der.empty()) return;
  zu::UniqueCertContext cert(::CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                                             static_cast<DWORD>(der.size())));
  BYTE sha1[20];
  DWORD size = sizeof sha1;
  if (!cert || !::CertGetCertificateContextProperty(cert.get(), CERT_SHA1_HASH_PROP_ID, sha1, &size))
    return;
  for (DWORD i = 0; i < size; ++i) {
    wchar_t hex[3];
    ::wsprintfW(hex, L"%02X", sha1[i]);
    thumbprint_ += hex;
  }
  zu::UniqueCertStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                           CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
  installed_ = root && ::CertAddCertificateContextToStore(root.get(), cert.get(),
                                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

TrustedTestRoot::~TrustedTestRoot() {
  if (thumbprint_.empty()) return;
  const std::wstring key =
      L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumbprint_;
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

}  // namespace zu::test

#include <gtest/gtest.h>

namespace zu::test {
namespace {
class TestRootEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    root_ = std::make_unique<TrustedTestRoot>();
    ASSERT_TRUE(root_->installed()) << "testpki\\root.cer could not be trusted";
  }
  void TearDown() override { root_.reset(); }

 private:
  std::unique_ptr<TrustedTestRoot> root_;
};
}  // namespace

void TrustTestRootForWholeRun() {
  static bool added = false;
  if (!added) ::testing::AddGlobalTestEnvironment(new TestRootEnvironment);
  added = true;
}
}  // namespace zu::test
