#include "common/platform.h"

#include <windows.h>

#include <cwchar>
#include <vector>

#include "common/framework/handle.h"
#include "common/platform_seams.h"

namespace zu::seams {
ExitWindowsFn exit_windows = &::ExitWindowsEx;
SetExecutionStateFn set_execution_state = &::SetThreadExecutionState;
GetSystemPowerStatusFn get_system_power_status = &::GetSystemPowerStatus;
}  // namespace zu::seams

namespace {

// Private access rights of the administrator check's descriptor.
constexpr DWORD kAccessRead = 1;
constexpr DWORD kAccessWrite = 2;

zu::UniqueHandle CallerToken() {
  zu::UniqueHandle token;
  if (::OpenThreadToken(::GetCurrentThread(), TOKEN_DUPLICATE | TOKEN_QUERY, TRUE, token.put()))
    return token;
  token.reset();
  if (::GetLastError() != ERROR_NO_TOKEN) return token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, token.put()))
    token.reset();
  return token;
}

bool EnableShutdownPrivilege() {
  zu::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.put())) {
    return false;
  }
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
    return false;
  // Succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks the privilege.
  ::SetLastError(ERROR_SUCCESS);
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr))
    return false;
  return ::GetLastError() == ERROR_SUCCESS;
}

bool ExitWithPrivilege(UINT flags) {
  if (!EnableShutdownPrivilege()) return false;
  return zu::seams::exit_windows(flags, 0) != FALSE;
}

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kScreenSaveActive[] = L"ScreenSaveActive";
constexpr DWORD kScreenSaveActiveMaxChars = 9;

// True while this process has to put the screen saver back on.
bool g_screen_saver_taken = false;

bool WriteScreenSaveActive(HKEY key, const wchar_t* text) {
  const DWORD bytes = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key, kScreenSaveActive, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          bytes) == ERROR_SUCCESS;
}

}  // namespace

bool IsUserAdministrator() {
  zu::UniqueHandle token = CallerToken();
  if (!token) return false;
  zu::UniqueHandle impersonation;
  if (!::DuplicateToken(token.get(), SecurityImpersonation, impersonation.put())) return false;

  SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
  zu::UniqueSid admins;
  if (!::AllocateAndInitializeSid(&nt_authority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, admins.put())) {
    return false;
  }

  const DWORD acl_bytes =
      sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(admins.get());
  zu::UniqueLocal acl_memory(::LocalAlloc(LPTR, acl_bytes));
  if (!acl_memory) return false;
  auto* acl = static_cast<PACL>(acl_memory.get());
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeAcl(acl, acl_bytes, ACL_REVISION2) ||
      !::AddAccessAllowedAce(acl, ACL_REVISION2, kAccessRead | kAccessWrite, admins.get()) ||
      !::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !::SetSecurityDescriptorOwner(&descriptor, admins.get(), FALSE) ||
      !::SetSecurityDescriptorGroup(&descriptor, admins.get(), FALSE) ||
      !::IsValidSecurityDescriptor(&descriptor)) {
    return false;
  }

  GENERIC_MAPPING mapping{kAccessRead, kAccessWrite, 0, kAccessRead | kAccessWrite};
  PRIVILEGE_SET privileges{};
  DWORD privileges_size = sizeof(privileges);
  DWORD granted = 0;
  BOOL access = FALSE;
  if (!::AccessCheck(&descriptor, impersonation.get(), kAccessRead, &mapping, &privileges,
                     &privileges_size, &granted, &access)) {
    return false;
  }
  return access != FALSE;
}

bool IsVistaOrLater() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!::GetVersionExW(&version)) return false;
  return version.dwMajorVersion > 5;
}

bool RestartWindows() { return ExitWithPrivilege(EWX_REBOOT | EWX_FORCE); }

// EWX_POWEROFF: a plain EWX_SHUTDOWN leaves older PCs at the "safe to turn
// off" screen instead of switching them off.
bool ShutdownWindows() { return ExitWithPrivilege(EWX_SHUTDOWN | EWX_POWEROFF | EWX_FORCE); }

bool KeepAwake() {
  return zu::seams::set_execution_state(ES_CONTINUOUS | ES_SYSTEM_REQUIRED |
                                        ES_DISPLAY_REQUIRED) != 0;
}

bool AllowSleep() { return zu::seams::set_execution_state(ES_CONTINUOUS) != 0; }

DesktopHold::DesktopHold() {
  DisableScreenSaver();
  KeepAwake();
}

void DesktopHold::Release() {
  if (!held_) return;
  held_ = false;
  RestoreScreenSaver();
  AllowSleep();
}

bool RunsOnBattery() {
  SYSTEM_POWER_STATUS status = {};
  return zu::seams::get_system_power_status(&status) && status.ACLineStatus == 0;
}

bool DisableScreenSaver() {
  // Set first: when the value cannot be read, the restore still turns the
  // screen saver on.
  g_screen_saver_taken = true;
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_READ | KEY_WRITE, key.put()) !=
      ERROR_SUCCESS) {
    key.reset();
    return false;
  }
  wchar_t text[kScreenSaveActiveMaxChars + 2] = {};  // the extra slot keeps a null
  DWORD bytes = (kScreenSaveActiveMaxChars + 1) * sizeof(wchar_t);
  if (::RegQueryValueExW(key.get(), kScreenSaveActive, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(text), &bytes) != ERROR_SUCCESS) {
    return false;
  }
  if (std::wcscmp(text, L"0") == 0) {
    g_screen_saver_taken = false;  // already off: nothing to put back
    return true;
  }
  return WriteScreenSaveActive(key.get(), L"0");
}

bool RestoreScreenSaver() {
  if (!g_screen_saver_taken) return false;
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, KEY_SET_VALUE, key.put()) !=
      ERROR_SUCCESS) {
    key.reset();
    return false;
  }
  return WriteScreenSaveActive(key.get(), L"1");
}

std::wstring ExecutableFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  // Long-path systems allow up to 32767 characters.
  while (path.size() <= 32768) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return L"";
    if (n < path.size()) {
      const std::wstring full(path.data(), n);
      const size_t slash = full.rfind(L'\\');
      return slash == std::wstring::npos ? L"" : full.substr(0, slash);
    }
    path.resize(path.size() * 2);
  }
  return L"";
}
