#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/files.h"

namespace zu::test {
namespace {
constexpr wchar_t kModeVariable[] = L"ZU_TEST_CHILD_MODE";
}  // namespace

Process Process::Start(const std::wstring& exe, const std::wstring& args) {
  Process p;
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi)) {
    ::CloseHandle(pi.hThread);
    p.process_.reset(pi.hProcess);
    p.pid_ = pi.dwProcessId;
  }
  return p;
}

bool Process::WaitExit(DWORD ms, DWORD* code) const {
  if (!process_ || ::WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return false;
  if (code) ::GetExitCodeProcess(process_.get(), code);
  return true;
}

void Process::Kill() const {
  if (process_) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

RunResult RunCaptured(const std::wstring& exe, const std::wstring& args, DWORD ms,
                      HANDLE token) {
  static LONG runs = 0;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring out_path = std::wstring(temp) + L"zulab_run_" +
                                std::to_wstring(::GetCurrentProcessId()) + L"_" +
                                std::to_wstring(::InterlockedIncrement(&runs)) + L".out";
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  RunResult r;
  {
    zu::UniqueFile out(::CreateFileW(out_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                     CREATE_ALWAYS, 0, nullptr));
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi{};
    const BOOL started =
        token ? ::CreateProcessAsUserW(token, exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0,
                                       nullptr, nullptr, &si, &pi)
              : ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &si, &pi);
    if (!started) {
      r.output = "could not start";
      return r;
    }
    zu::UniqueHandle process(pi.hProcess);
    ::CloseHandle(pi.hThread);
    out.reset();
    if (::WaitForSingleObject(process.get(), ms) == WAIT_OBJECT_0) {
      DWORD code = 0;
      ::GetExitCodeProcess(process.get(), &code);
      r.code = code;
    } else {
      ::TerminateProcess(process.get(), 99);
      ::WaitForSingleObject(process.get(), 5000);
    }
  }
  // Line ends as "\n" alone, whatever Wine's console layer made of them.
  for (char c : ReadFileBytes(out_path))
    if (c != '\r') r.output.push_back(c);
  ::DeleteFileW(out_path.c_str());
  return r;
}

std::wstring Env(const wchar_t* name) {
  std::wstring value(::GetEnvironmentVariableW(name, nullptr, 0), L'\0');
  if (value.empty()) return value;
  value.resize(::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
  return value;
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
  UniqueSid admins;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, admins.put())) {
    return restricted;
  }
  SID_AND_ATTRIBUTES deny_only{admins.get(), 0};
  if (!::CreateRestrictedToken(process_token.get(), DISABLE_MAX_PRIVILEGE, 1, &deny_only, 0,
                               nullptr, 0, nullptr, restricted.put())) {
    restricted.reset();
  }
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

}  // namespace zu::test
