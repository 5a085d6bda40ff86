#include "common/platform.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"
#include "common/framework/seam.h"
#include "common/platform_seams.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"

namespace {

using zu::test::FinishChild;
using zu::test::IsChild;
using zu::test::kChildPassed;
using zu::test::NonAdminToken;
using zu::test::RawValue;
using zu::test::ReadRaw;
using zu::test::RunChild;
using zu::test::Sz;
using zu::test::WriteRaw;

// --- administrator test ---------------------------------------------------

TEST(IsUserAdministratorTest, LabUserIsAdministrator) { EXPECT_TRUE(IsUserAdministrator()); }

TEST(IsUserAdministratorTest, ImpersonatingThreadIsJudgedByItsOwnToken) {
  zu::UniqueHandle token = NonAdminToken();
  ASSERT_TRUE(token);
  ASSERT_TRUE(::ImpersonateLoggedOnUser(token.get()));
  const bool impersonating = IsUserAdministrator();
  ::RevertToSelf();
  EXPECT_FALSE(impersonating);
  EXPECT_TRUE(IsUserAdministrator());
}

TEST(IsUserAdministratorTest, StandardUserProcessIsNot) {
  zu::UniqueHandle token = NonAdminToken();
  ASSERT_TRUE(token);
  EXPECT_EQ(RunChild(L"DISABLED_StandardUserChild.*", L"standard-user", token.get()),
            kChildPassed);
}

// --- restart and shutdown ---------------------------------------------------

std::optional<bool> ShutdownPrivilegeEnabled() {
  zu::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::nullopt;
  LUID luid;
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &luid)) return std::nullopt;
  DWORD bytes = 0;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &bytes);
  std::vector<BYTE> buffer(bytes);
  if (!::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), bytes, &bytes))
    return std::nullopt;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
      return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  return false;  // not held at all
}

bool SetShutdownPrivilege(bool enabled) {
  zu::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put()))
    return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
  return ::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
         ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) &&
         ::GetLastError() == ERROR_SUCCESS;
}

struct ExitCall {
  UINT flags;
  DWORD reason;
  std::optional<bool> privilege_enabled;
};
std::vector<ExitCall> g_exit_calls;
BOOL g_exit_answer = TRUE;

BOOL WINAPI RecordExit(UINT flags, DWORD reason) {
  g_exit_calls.push_back({flags, reason, ShutdownPrivilegeEnabled()});
  return g_exit_answer;
}

// Never lets a test end the lab's session: ExitWindowsEx would end every
// process of the Wine prefix.
class ExitWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_exit_calls.clear();
    g_exit_answer = TRUE;
  }
  zu::ScopedOverride<zu::seams::ExitWindowsFn> exit_{zu::seams::exit_windows, &RecordExit};
};

TEST_F(ExitWindowsTest, RestartEnablesThePrivilegeThenForcesAReboot) {
  ASSERT_TRUE(SetShutdownPrivilege(false));
  ASSERT_EQ(ShutdownPrivilegeEnabled(), false);
  EXPECT_TRUE(RestartWindows());
  ASSERT_EQ(g_exit_calls.size(), 1u);
  EXPECT_EQ(g_exit_calls[0].flags, static_cast<UINT>(EWX_REBOOT | EWX_FORCE));
  EXPECT_EQ(g_exit_calls[0].reason, 0u);
  EXPECT_EQ(g_exit_calls[0].privilege_enabled, true);
}

TEST_F(ExitWindowsTest, ShutdownEnablesThePrivilegeThenForcesAPowerOff) {
  ASSERT_TRUE(SetShutdownPrivilege(false));
  EXPECT_TRUE(ShutdownWindows());
  ASSERT_EQ(g_exit_calls.size(), 1u);
  EXPECT_EQ(g_exit_calls[0].flags, static_cast<UINT>(EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE));
  EXPECT_EQ(g_exit_calls[0].reason, 0u);
  EXPECT_EQ(g_exit_calls[0].privilege_enabled, true);
}

TEST_F(ExitWindowsTest, RefusalOfWindowsIsTheAnswer) {
  g_exit_answer = FALSE;
  EXPECT_FALSE(RestartWindows());
  EXPECT_FALSE(ShutdownWindows());
  EXPECT_EQ(g_exit_calls.size(), 2u);
}

// --- keep-awake -------------------------------------------------------------

std::vector<EXECUTION_STATE> g_states;
EXECUTION_STATE g_previous_state = ES_CONTINUOUS;

EXECUTION_STATE WINAPI RecordState(EXECUTION_STATE flags) {
  g_states.push_back(flags);
  return g_previous_state;
}

TEST(ExecutionStateTest, KeepAwakeHoldsSystemAndDisplayUntilAllowSleep) {
  ASSERT_TRUE(KeepAwake());
  // Wine keeps the state and answers the previous one, which shows what
  // KeepAwake asked for.
  EXPECT_EQ(::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED),
            static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED));
  ASSERT_TRUE(AllowSleep());
  EXPECT_EQ(::SetThreadExecutionState(ES_CONTINUOUS), static_cast<EXECUTION_STATE>(ES_CONTINUOUS));
}

TEST(ExecutionStateTest, RefusedStateAnswersFalse) {
  g_states.clear();
  g_previous_state = 0;  // what the call answers when it fails
  bool awake, sleep, awake_ok;
  {
    zu::ScopedOverride state(zu::seams::set_execution_state, &RecordState);
    awake = KeepAwake();
    sleep = AllowSleep();
    g_previous_state = ES_CONTINUOUS;
    awake_ok = KeepAwake();
  }
  EXPECT_FALSE(awake);
  EXPECT_FALSE(sleep);
  EXPECT_TRUE(awake_ok);
  EXPECT_EQ(g_states, (std::vector<EXECUTION_STATE>{
                          ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED, ES_CONTINUOUS,
                          ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED}));
}

// --- screen saver -------------------------------------------------------------

constexpr wchar_t kDesktop[] = L"Control Panel\\Desktop";
constexpr wchar_t kActive[] = L"ScreenSaveActive";

class ScreenSaverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ReadRaw(HKEY_CURRENT_USER, kDesktop, kActive);
    // A stored "0" clears the process-wide flag whatever earlier tests left.
    Store(L"0");
    ASSERT_TRUE(DisableScreenSaver());
    ASSERT_FALSE(RestoreScreenSaver());
  }
  void TearDown() override { WriteRaw(HKEY_CURRENT_USER, kDesktop, kActive, saved_); }
  static void Store(const std::wstring& text) {
    WriteRaw(HKEY_CURRENT_USER, kDesktop, kActive, Sz(text));
  }
  static void Remove() { WriteRaw(HKEY_CURRENT_USER, kDesktop, kActive, std::nullopt); }
  static std::optional<RawValue> Stored() { return ReadRaw(HKEY_CURRENT_USER, kDesktop, kActive); }
  static bool StoredIs(const std::wstring& text) {
    auto v = Stored();
    return v && v->type == REG_SZ && v->data == Sz(text).data;
  }
  std::optional<RawValue> saved_;
};

TEST_F(ScreenSaverTest, ScreenSaverThatWasOffStaysOff) {
  Store(L"0");
  EXPECT_TRUE(DisableScreenSaver());
  EXPECT_TRUE(StoredIs(L"0"));
  EXPECT_FALSE(RestoreScreenSaver());
  EXPECT_TRUE(StoredIs(L"0"));
}

TEST_F(ScreenSaverTest, ScreenSaverThatWasOnIsTurnedOffAndBackOn) {
  Store(L"1");
  EXPECT_TRUE(DisableScreenSaver());
  EXPECT_TRUE(StoredIs(L"0"));
  EXPECT_TRUE(RestoreScreenSaver());
  EXPECT_TRUE(StoredIs(L"1"));
  // Restoring does not give up the responsibility.
  Store(L"0");
  EXPECT_TRUE(RestoreScreenSaver());
  EXPECT_TRUE(StoredIs(L"1"));
}

TEST_F(ScreenSaverTest, UnreadableValueIsTurnedOnByTheRestore) {
  Remove();
  EXPECT_FALSE(DisableScreenSaver());
  EXPECT_FALSE(Stored().has_value());
  EXPECT_TRUE(RestoreScreenSaver());
  EXPECT_TRUE(StoredIs(L"1"));

  Store(L"0123456789");  // ten characters: longer than the value can be
  EXPECT_FALSE(DisableScreenSaver());
  EXPECT_TRUE(StoredIs(L"0123456789"));
  EXPECT_TRUE(RestoreScreenSaver());
  EXPECT_TRUE(StoredIs(L"1"));
}

TEST_F(ScreenSaverTest, NineCharactersAreReadAndOnlyZeroMeansOff) {
  Store(L"012345678");
  EXPECT_TRUE(DisableScreenSaver());
  EXPECT_TRUE(StoredIs(L"0"));
  Store(L"00");
  EXPECT_TRUE(DisableScreenSaver());
  EXPECT_TRUE(StoredIs(L"0"));
  EXPECT_TRUE(RestoreScreenSaver());
  EXPECT_TRUE(StoredIs(L"1"));
}

// --- children --------------------------------------------------------------------

TEST(DISABLED_StandardUserChild, IsNotAdministrator) {
  if (!IsChild(L"standard-user")) GTEST_SKIP() << "runs only as a child";
  EXPECT_FALSE(IsUserAdministrator());
  FinishChild();
}

TEST_F(ExitWindowsTest, WithoutTheShutdownPrivilegeNothingIsAttempted) {
  zu::UniqueHandle token = zu::test::NoShutdownPrivilegeToken();
  ASSERT_TRUE(token);
  EXPECT_EQ(RunChild(L"DISABLED_NoShutdownPrivilegeChild.*", L"no-shutdown-privilege", token.get()),
            kChildPassed);
}

TEST(DISABLED_NoShutdownPrivilegeChild, RestartAndShutdownAnswerFalse) {
  if (!IsChild(L"no-shutdown-privilege")) GTEST_SKIP() << "runs only as a child";
  ASSERT_FALSE(ShutdownPrivilegeEnabled().value_or(true));
  zu::ScopedOverride exit(zu::seams::exit_windows, &RecordExit);
  g_exit_calls.clear();
  EXPECT_FALSE(RestartWindows());
  EXPECT_FALSE(ShutdownWindows());
  EXPECT_TRUE(g_exit_calls.empty());
  FinishChild();
}

}  // namespace
