#pragma once
// Support for the platform tests: raw registry values to save and put
// back, and children of this test program for the tests that need another
// token or another reported Windows version. A child runs one DISABLED_
// test, which ends the process with kChildPassed when nothing failed.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"

namespace zu::testing {

struct RawValue {
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RawValue&) const = default;
};
std::optional<RawValue> ReadRaw(HKEY root, const wchar_t* key, const wchar_t* name);
// Writes the value back, or deletes it when there was none.
void WriteRaw(HKEY root, const wchar_t* key, const wchar_t* name, const std::optional<RawValue>& v);
RawValue Sz(const std::wstring& text);  // REG_SZ with its terminator

// Puts a registry value back as it was when the guard was made.
class SavedValue {
 public:
  SavedValue(HKEY root, const wchar_t* key, const wchar_t* name)
      : root_(root), key_(key), name_(name), saved_(ReadRaw(root, key, name)) {}
  ~SavedValue() { WriteRaw(root_, key_, name_, saved_); }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  HKEY root_;
  const wchar_t* key_;
  const wchar_t* name_;
  std::optional<RawValue> saved_;
};

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

std::wstring ThisProgram();

// Runs `test` in `program` (this one when empty), under `token` when
// given; answers the exit code or kChildNotStarted.
DWORD RunChild(const std::wstring& test, const wchar_t* mode, HANDLE token = nullptr,
               const std::wstring& program = {});

}  // namespace zu::testing
