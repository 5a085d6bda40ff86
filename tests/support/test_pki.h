#pragma once
// The code-signing test PKI that tests/support/make_test_pki.sh makes at
// build time beside bin/ (testpki/), and its root made trusted for a while.
#include <string>

namespace zu::test {

// testpki\signed\<name> beside the build's bin folder.
std::wstring SignedInstaller(const std::wstring& name);
std::wstring TestRootCertificate();  // testpki\root.cer

// Puts the test root into the machine's root store while it lives. (Wine
// keeps a certificate that CertDeleteCertificateFromStore removed, so the
// store's registry entry is deleted instead.)
class TrustedTestRoot {
 public:
  TrustedTestRoot();
  ~TrustedTestRoot();
  TrustedTestRoot(const TrustedTestRoot&) = delete;
  TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;
  bool installed() const { return installed_; }

 private:
  std::wstring thumbprint_;
  bool installed_ = false;
};

}  // namespace zu::test

namespace zu::test {
// Wine's chain engine reads the root store once per process, so test
// programs that check signatures trust the test root from their start:
// link this environment in by calling it from a static initializer.
void TrustTestRootForWholeRun();
}  // namespace zu::test
