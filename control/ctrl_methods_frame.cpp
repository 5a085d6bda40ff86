// The small scripting methods: last-error access, registered strings, the
// working mutex, administrator and file tests, processor width, the
// library's own version, opening a module's folder, and the retired ones.
#include <windows.h>
#include <shellapi.h>
#define PSAPI_VERSION 1  // psapi.dll, which XP has too
#include <psapi.h>

#include <algorithm>
#include <vector>

#include "common/framework/handle.h"
#include "common/platform.h"
#include "common/registry.h"
#include "control/ctrl_frame.h"
#include "control/host_check.h"
#include "control/file_queries.h"
#include "control/module_path.h"
#include "control/registered_strings.h"
#include "control/zuax_ctrl.h"

namespace {

constexpr wchar_t kWorkingMutexName[] = L"Global\\ZEFO Update ActiveX Mutex";
constexpr wchar_t kOwnModuleName[] = L"ZUAC.dll";
constexpr wchar_t kIexploreAppPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
constexpr DWORD kMaxModules = 1024;
constexpr std::size_t kMaxPathChars = 260;

// The first module of this process whose file name is "ZUAC.dll".
std::wstring FindOwnModulePath() {
  std::vector<HMODULE> modules(kMaxModules);
  DWORD needed = 0;
  if (!::EnumProcessModules(::GetCurrentProcess(), modules.data(),
                            static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
    return std::wstring();
  DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), kMaxModules);
  for (DWORD i = 0; i < count; ++i) {
    wchar_t path[MAX_PATH];
    DWORD n = ::GetModuleFileNameW(modules[i], path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) continue;
    std::wstring full(path, n);
    std::size_t slash = full.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    if (::lstrcmpiW(name.c_str(), kOwnModuleName) == 0) return full;
  }
  return std::wstring();
}

}  // namespace

std::wstring LoadedLibraryVersion() {
  std::wstring path = FindOwnModulePath();
  return path.empty() ? std::wstring() : FileVersionText(path);
}

// --- Last-error code -------------------------------------------------------------

long CZUAXCtrl::GetLastError() {
  if (!IsHostPageAllowed()) return kRefusedLastError;
  return ZuLastErrorForPage();
}

void CZUAXCtrl::SetLastError(long lError) {
  if (!IsHostPageAllowed()) return;
  SetZuLastError(lError);
}

// --- Registered strings ------------------------------------------------------------

bool CZUAXCtrl::RegisterString(long uID, const std::wstring& string) {
  if (!PassPlainPrologue()) return kRefusedBool;
  return StoreRegisteredString(uID, string);
}

// --- Working mutex -------------------------------------------------------------------

bool CZUAXCtrl::ZUMutexLock() {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (working_mutex_) return true;
  zu::UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, kWorkingMutexName));
  DWORD error = ::GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) {
    // Another page or the agent's installing run has it.
    mutex.reset();
    SetZuLastError(kZuErrorMutexHeld);
    return false;
  }
  working_mutex_ = std::move(mutex);
  return true;
}

bool CZUAXCtrl::ZUMutexUnLock() {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (working_mutex_) {
    ::ReleaseMutex(working_mutex_.get());
    working_mutex_.reset();
  }
  return true;
}

// --- Machine and file tests ------------------------------------------------------------

bool CZUAXCtrl::IsAdmin() {
  if (!PassPlainPrologue()) return kRefusedBool;
  return IsUserAdministrator();
}

bool CZUAXCtrl::IsFileExist(const std::wstring& bstrFilePath) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (bstrFilePath.empty() || bstrFilePath.size() >= kMaxPathChars) return false;
  wchar_t full[MAX_PATH];
  DWORD n = ::GetFullPathNameW(bstrFilePath.c_str(), MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return false;
  WIN32_FIND_DATAW found;
  return static_cast<bool>(zu::UniqueFind(::FindFirstFileW(full, &found)));
}

ULONG CZUAXCtrl::GetProcessorArchitecture() {
  if (!PassPlainPrologue()) return kRefusedNumber;
  using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
  SYSTEM_INFO info = {};
  auto native = reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo")));
  if (native)
    native(&info);
  else
    ::GetSystemInfo(&info);
  WORD arch = info.wProcessorArchitecture;
  return arch == PROCESSOR_ARCHITECTURE_AMD64 || arch == PROCESSOR_ARCHITECTURE_IA64 ? 64 : 32;
}

// --- This library's version ---------------------------------------------------------------

std::wstring CZUAXCtrl::GetSelfVersion() {
  if (!PassPlainPrologue()) return RefusedString();
  std::wstring debug_version;
  if (ReadDebugGeneral(L"SelfVersion", &debug_version)) return debug_version;
  return LoadedLibraryVersion();
}

// --- A downloaded module's folder ------------------------------------------------------------

bool CZUAXCtrl::ShowInstaller(const std::wstring& lpURL) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (lpURL.empty()) return false;
  std::wstring path = ModuleFinalPath(lpURL);
  if (path.empty() || !IsExistingFile(path)) {
    SetZuLastError(kZuErrorFileMissing);
    return false;
  }
  std::wstring folder = path.substr(0, path.rfind(L'\\'));
  std::wstring browser;
  // Quoted, so that a folder with blanks reaches the browser as one
  // argument (a module's name never holds a quote).
  const std::wstring quoted = L"\"" + folder + L"\"";
  if (CRegKeyUtil().ReadString(L"", &browser, HKEY_LOCAL_MACHINE, kIexploreAppPath))
    ::ShellExecuteW(nullptr, L"open", browser.c_str(), quoted.c_str(), nullptr, SW_SHOWNORMAL);
  else
    ::ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return true;
}

// --- Debug registry pair and retired searches -------------------------------------------------

std::wstring CZUAXCtrl::GetDebugRegistry(const std::wstring&) {
  PassPlainPrologue();
  return std::wstring();
}

void CZUAXCtrl::SetDebugRegistry(const std::wstring&, const std::wstring&) {
  PassPlainPrologue();
}

// Range checks moved to SearchModelCodeAndSerialNum; these answer no match
// for everyone, without asking the host page.
bool CZUAXCtrl::SearchModelCode(const std::wstring&) {
  SetZuLastError(kZuErrorSuccess);
  return false;
}

bool CZUAXCtrl::SearchSerialNumber(const std::wstring&) {
  SetZuLastError(kZuErrorSuccess);
  return false;
}
