#include "common/platform_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace zu::testing {
namespace {
constexpr wchar_t kModeVariable[] = L"ZU_TEST_CHILD_MODE";
}

std::optional<RawValue> ReadRaw(HKEY root, const wchar_t* key, const wchar_t* name) {
  RawValue v;
  DWORD bytes = 0;
  if (::RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &v.type, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  v.data.resize(bytes);
  if (::RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &v.type,
                     v.data.empty() ? nullptr : v.data.data(), &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  v.data.resize(bytes);
  return v;
}

void WriteRaw(HKEY root, const wchar_t* key, const wchar_t* name,
              const std::optional<RawValue>& v) {
  if (!v) {
    ::RegDeleteKeyValueW(root, key, name);
    return;
  }
  ::RegSetKeyValueW(root, key, name, v->type, v->data.data(), static_cast<DWORD>(v->data.size()));
}

RawValue Sz(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

bool IsChild(const wchar_t* mode) {
  wchar_t value[64] = {};
  const DWORD n = ::GetEnvironmentVariableW(kModeVariable, value, 64);
  return n > 0 && n < 64 && std::wstring(value) == mode;
}

void FinishChild() {
  const bool failed = ::testing::Test::HasFailure();
  std::fflush(stdout);
  std::fflush(stderr);
  ::ExitProcess(failed ? 1 : kChildPassed);
}

UniqueHandle NonAdminToken() {
  UniqueHandle process_token, restricted;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, process_token.put()))
    return restricted;
  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
    return restricted;
  }
  SID_AND_ATTRIBUTES deny_only{admins, 0};
  if (!::CreateRestrictedToken(process_token.get(), DISABLE_MAX_PRIVILEGE, 1, &deny_only, 0,
                               nullptr, 0, nullptr, restricted.put())) {
    restricted.reset();
  }
  ::FreeSid(admins);
  return restricted;
}

UniqueHandle NoShutdownPrivilegeToken() {
  UniqueHandle process_token, restricted;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, process_token.put()))
    return restricted;
  LUID_AND_ATTRIBUTES removed{};
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &removed.Luid) ||
      !::CreateRestrictedToken(process_token.get(), 0, 0, nullptr, 1, &removed, 0, nullptr,
                               restricted.put())) {
    restricted.reset();
  }
  return restricted;
}

std::wstring ThisProgram() {
  std::vector<wchar_t> path(MAX_PATH * 4);
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return std::wstring(path.data(), n);
}

DWORD RunChild(const std::wstring& test, const wchar_t* mode, HANDLE token,
               const std::wstring& program) {
  const std::wstring exe = program.empty() ? ThisProgram() : program;
  std::wstring command = L"\"" + exe + L"\" --gtest_filter=" + test +
                         L" --gtest_also_run_disabled_tests --gtest_color=no";
  std::fflush(stdout);
  ::SetEnvironmentVariableW(kModeVariable, mode);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  const BOOL started =
      token ? ::CreateProcessAsUserW(token, exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                     nullptr, nullptr, &startup, &info)
            : ::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &info);
  ::SetEnvironmentVariableW(kModeVariable, nullptr);
  if (!started) return kChildNotStarted;
  UniqueHandle process(info.hProcess), thread(info.hThread);
  DWORD code = kChildNotStarted;
  if (::WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.get(), kChildNotStarted);
    return kChildNotStarted;
  }
  ::GetExitCodeProcess(process.get(), &code);
  return code;
}

}  // namespace zu::testing
