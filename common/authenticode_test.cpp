#include "common/authenticode.h"

#include <gtest/gtest.h>

#include "common/framework/handle.h"
#include "tests/support/test_pki.h"

namespace {

using zu::test::SignedInstaller;

const bool kTrustRoot = (zu::test::TrustTestRootForWholeRun(), true);

zu::UniqueFile OpenShared(const std::wstring& path) {
  return zu::UniqueFile(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
}

SignatureCheck Check(const std::wstring& name) {
  const std::wstring path = SignedInstaller(name);
  zu::UniqueFile file = OpenShared(path);
  EXPECT_TRUE(file) << "missing " << name.c_str();
  return CheckInstallerSignature(file.get(), path);
}

ULONGLONG Ticks(const FILETIME& ft) {
  return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
ULONGLONG Ticks(WORD year, WORD month, WORD day) {
  SYSTEMTIME st = {};
  st.wYear = year;
  st.wMonth = month;
  st.wDay = day;
  FILETIME ft;
  ::SystemTimeToFileTime(&st, &ft);
  return Ticks(ft);
}

constexpr ULONGLONG kNoon = 12ull * 3600 * 10000000;  // in FILETIME ticks

TEST(AuthenticodeTest, OnlyTheMakersTwoNamesUnderATrustedRootPass) {
  struct Case {
    const wchar_t* file;
    bool passed;
    const wchar_t* signer;  // null: no signer read
    ULONGLONG timestamp;    // 0: none counted
  } cases[] = {
      {L"vexa.exe", true, L"Vexa Corporation", 0},
      {L"america.exe", true, L"Vexa Corporation of America", 0},
      {L"ltd.exe", false, L"Vexa Corporation Ltd", 0},
      {L"lower.exe", false, L"vexa corporation", 0},
      {L"acme.exe", false, L"Acme Software", 0},
      // A maker name under a root nobody installed.
      {L"stray.exe", false, nullptr, 0},
      // Expired, with no timestamp or one made after the expiry.
      {L"expired.exe", false, L"Vexa Corporation", 0},
      {L"expired-latets.exe", false, L"Vexa Corporation", Ticks(2022, 6, 1)},
      // Timestamped while the certificate was valid.
      {L"expired-ts.exe", true, L"Vexa Corporation", Ticks(2020, 6, 1)},
      {L"vexa-ts.exe", true, L"Vexa Corporation", Ticks(2024, 3, 1)},
      // The older countersignature form, made at noon of those days.
      {L"expired-legacyts.exe", true, L"Vexa Corporation", Ticks(2020, 6, 1) + kNoon},
      {L"expired-legacylate.exe", false, L"Vexa Corporation", Ticks(2022, 6, 1) + kNoon},
      {L"vexa-legacyts.exe", true, L"Vexa Corporation", Ticks(2024, 3, 1) + kNoon},
      {L"unsigned.exe", false, nullptr, 0},
      {L"tampered.exe", false, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.file);
    const SignatureCheck check = Check(c.file);
    EXPECT_EQ(check.passed, c.passed);
    if (c.signer) {
      EXPECT_EQ(check.signer, c.signer);
    }
    EXPECT_EQ(check.timestamp.has_value(), c.timestamp != 0);
    if (check.timestamp && c.timestamp) {
      EXPECT_EQ(Ticks(*check.timestamp), c.timestamp);
    }
    if (c.passed) {
      EXPECT_EQ(check.trust, 0);
    } else if (c.signer && IsMakerSignerName(c.signer)) {
      EXPECT_NE(check.trust != 0 ? check.trust : static_cast<LONG>(check.chain_error), 0);
    }
  }
  EXPECT_EQ(Check(L"unsigned.exe").trust, TRUST_E_NOSIGNATURE);
  EXPECT_NE(Check(L"tampered.exe").trust, 0);
  EXPECT_EQ(Check(L"expired.exe").chain_error, static_cast<DWORD>(CERT_E_EXPIRED));
  EXPECT_EQ(Check(L"stray.exe").chain_error, static_cast<DWORD>(CERT_E_UNTRUSTEDROOT));
}

TEST(AuthenticodeTest, TheContentIsReadThroughTheHandleNotTheName) {
  zu::UniqueFile signed_file = OpenShared(SignedInstaller(L"vexa.exe"));
  zu::UniqueFile unsigned_file = OpenShared(SignedInstaller(L"unsigned.exe"));
  EXPECT_TRUE(CheckInstallerSignature(signed_file.get(), SignedInstaller(L"unsigned.exe")).passed);
  EXPECT_FALSE(CheckInstallerSignature(unsigned_file.get(), SignedInstaller(L"vexa.exe")).passed);
  EXPECT_FALSE(CheckInstallerSignature(INVALID_HANDLE_VALUE, SignedInstaller(L"vexa.exe")).passed);
  EXPECT_FALSE(CheckInstallerSignature(signed_file.get(), L"").passed);
}

}  // namespace
