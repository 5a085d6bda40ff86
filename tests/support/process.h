#pragma once
// Processes of the tests: programs started and watched, programs run to
// their end with their output captured, and children of the test program
// that run one test under another token or another reported Windows
// version. A child runs one DISABLED_ test, which ends the process with
// kChildPassed when nothing failed.
#include <windows.h>

#include <optional>
#include <string>

#include "common/framework/handle.h"

namespace zu::test {

class Process {
 public:
  // The command line is the quoted program, a blank and args.
  static Process Start(const std::wstring& exe, const std::wstring& args);
  bool WaitExit(DWORD ms, DWORD* code = nullptr) const;
  void Kill() const;
  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_.get(); }
  explicit operator bool() const { return static_cast<bool>(process_); }

 private:
  UniqueHandle process_;
  DWORD pid_ = 0;
};

// Runs a program to its end with its standard output and error captured
// together, line ends as "\n"; code is empty when it did not end within ms
// (it is then ended). With a token the program runs as that token's user.
struct RunResult {
  std::optional<DWORD> code;
  std::string output;
};
RunResult RunCaptured(const std::wstring& exe, const std::wstring& args, DWORD ms = 120000,
                      HANDLE token = nullptr);

// The environment variable's value; empty when it is not set.
std::wstring Env(const wchar_t* name);

// Waits until pred() holds, polling.
template <typename Pred>
bool WaitFor(Pred pred, DWORD ms) {
  const DWORD start = ::GetTickCount();
  do {
    if (pred()) return true;
    ::Sleep(50);
  } while (::GetTickCount() - start < ms);
  return pred();
}

inline constexpr DWORD kChildPassed = 42;
inline constexpr DWORD kChildNotStarted = 0xFFFFFFFF;

// True in a child that RunChild started with this mode.
bool IsChild(const wchar_t* mode);
// Ends the child: kChildPassed when the running test has no failure, 1 otherwise.
[[noreturn]] void FinishChild();

// The process token with the Administrators group deny-only: a standard
// user. (Wine ignores DISABLE_MAX_PRIVILEGE, so its privileges stay.)
UniqueHandle NonAdminToken();
// The process token without SeShutdownPrivilege, groups unchanged.
UniqueHandle NoShutdownPrivilegeToken();

// Runs `test` in `program` (this one when empty), under `token` when
// given; answers the exit code or kChildNotStarted.
DWORD RunChild(const std::wstring& test, const wchar_t* mode, HANDLE token = nullptr,
               const std::wstring& program = {});

}  // namespace zu::test
