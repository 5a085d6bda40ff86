#include "tests/support/test_pki.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/engine_servers.h"
#include "tests/support/files.h"

namespace zu::test {

namespace {

std::wstring PkiFolder() {
  const std::wstring bin = BinDir();
  return bin.substr(0, bin.rfind(L'\\')) + L"\\testpki";
}

class TestRootEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    root_ = std::make_unique<TrustedRoot>(TestRootCertificate());
    ASSERT_TRUE(root_->ok()) << "testpki\\root.cer could not be trusted";
  }
  void TearDown() override { root_.reset(); }

 private:
  std::unique_ptr<TrustedRoot> root_;
};

}  // namespace

std::wstring SignedInstaller(const std::wstring& name) { return PkiFolder() + L"\\signed\\" + name; }
std::wstring TestRootCertificate() { return PkiFolder() + L"\\root.cer"; }

void TrustTestRootForWholeRun() {
  static bool added = false;
  if (!added) ::testing::AddGlobalTestEnvironment(new TestRootEnvironment);
  added = true;
}

}  // namespace zu::test
