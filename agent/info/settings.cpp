#include "agent/info/settings.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "agent/info/clock.h"
#include "agent/info/info_rules.h"
#include "common/platform.h"

namespace {

constexpr wchar_t kOption[] = L"Option";
constexpr wchar_t kSetting[] = L"Setting";
constexpr wchar_t kFileName[] = L"ZU.ini";

// Longest values read, in characters; longer ones are cut.
constexpr DWORD kShortText = 127;
constexpr DWORD kLongText = 255;

constexpr int64_t kFirstYearSeconds = 365LL * 86400;

std::wstring SpecialFolder(int csidl) {
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return L"";
  return buf;
}

std::wstring ReadText(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                      DWORD longest) {
  const std::wstring path = GetSettingsFilePath();
  if (path.empty()) return fallback;
  std::vector<wchar_t> buf(longest + 1, L'\0');
  ::GetPrivateProfileStringW(section, key, fallback, buf.data(), longest + 1, path.c_str());
  return buf.data();
}

int ReadNumber(const wchar_t* key, int fallback) {
  const std::wstring path = GetSettingsFilePath();
  if (path.empty()) return fallback;
  return static_cast<int>(::GetPrivateProfileIntW(kOption, key, fallback, path.c_str()));
}

bool WriteText(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
  const std::wstring path = GetSettingsFilePath();
  if (path.empty()) return false;
  return ::WritePrivateProfileStringW(section, key, value.c_str(), path.c_str()) != FALSE;
}

std::wstring Decimal(int n) {
  wchar_t buf[16];
  std::swprintf(buf, 16, L"%d", n);
  return buf;
}

// Every user may write the settings file: a page it names is opened only
// when it is a web address.
bool ReadOptionalURL(const wchar_t* key, std::wstring* url) {
  std::wstring text = ReadText(kOption, key, L"", kLongText);
  if (text.empty() || !IsWebAddress(text)) return false;
  *url = std::move(text);
  return true;
}

int64_t FileTimeSeconds(const FILETIME& ft) {
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(u.QuadPart / 10000000) - 11644473600LL;
}

bool IsZero(const FILETIME& ft) { return ft.dwLowDateTime == 0 && ft.dwHighDateTime == 0; }

void GrantEveryoneReadWrite(const std::wstring& path) {
  std::vector<unsigned char> acl = SettingsFileAcl();
  if (acl.empty()) return;
  std::wstring name = path;  // the API wants a writable string
  ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, reinterpret_cast<ACL*>(acl.data()), nullptr);
}

}  // namespace

std::vector<unsigned char> SettingsFileAcl() {
  BYTE everyone[SECURITY_MAX_SID_SIZE], admins[SECURITY_MAX_SID_SIZE],
      system[SECURITY_MAX_SID_SIZE];
  DWORD n1 = sizeof(everyone), n2 = sizeof(admins), n3 = sizeof(system);
  if (!::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &n1) ||
      !::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &n2) ||
      !::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &n3))
    return {};
  const DWORD bytes = sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                      ::GetLengthSid(everyone) + ::GetLengthSid(admins) + ::GetLengthSid(system);
  // DWORD-aligned storage, as an ACL needs.
  std::vector<unsigned char> acl((bytes + 3) & ~3u);
  ACL* p = reinterpret_cast<ACL*>(acl.data());
  if (!::InitializeAcl(p, static_cast<DWORD>(acl.size()), ACL_REVISION) ||
      !::AddAccessAllowedAce(p, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE, everyone) ||
      !::AddAccessAllowedAce(p, ACL_REVISION, FILE_ALL_ACCESS, admins) ||
      !::AddAccessAllowedAce(p, ACL_REVISION, FILE_ALL_ACCESS, system))
    return {};
  return acl;
}

std::wstring GetTemplateSettingsFilePath() {
  const std::wstring folder = ExecutableFolder();
  return folder.empty() ? L"" : folder + L"\\" + kFileName;
}

void PrepareSettingsFile() {
  const std::wstring path = GetSettingsFilePath();
  if (path.empty()) return;
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD why = ::GetLastError();
    if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
      const std::wstring vendor = SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Vexa Corporation";
      ::CreateDirectoryW(vendor.c_str(), nullptr);
      ::CreateDirectoryW((vendor + L"\\ZEFO Update").c_str(), nullptr);
      // Never overwrite: another user's agent may have made it meanwhile,
      // and then its interval stays as it is too.
      bool raced = false;
      if (!::CopyFileW(GetTemplateSettingsFilePath().c_str(), path.c_str(), TRUE)) {
        const DWORD err = ::GetLastError();
        raced = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS;
      }
      if (!raced) WriteDefaultInterval();
    }
  }
  GrantEveryoneReadWrite(path);
}

std::wstring ReadInterval() { return ReadText(kOption, L"Interval", L"1", kShortText); }
bool WriteInterval(const std::wstring& text) { return WriteText(kOption, L"Interval", text); }

int ComputeDefaultIntervalFrom(const std::wstring& oeminfo_path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(oeminfo_path.c_str(), GetFileExInfoStandard, &data)) return 1;
  const FILETIME& since = IsZero(data.ftCreationTime) ? data.ftLastWriteTime : data.ftCreationTime;
  int64_t now = 0;
  if (!ReadClock(&now, false)) return 7;
  return now < FileTimeSeconds(since) + kFirstYearSeconds ? 1 : 7;
}

int ComputeDefaultInterval() {
  const std::wstring system = SpecialFolder(CSIDL_SYSTEM);
  if (system.empty()) return 1;
  return ComputeDefaultIntervalFrom(system + L"\\OEMINFO.INI");
}

int WriteDefaultInterval() {
  const int days = ComputeDefaultInterval();
  WriteInterval(Decimal(days));
  return days;
}

int ReadSuppressBalloon() { return ReadNumber(L"SuppressBallonPopUp", 0); }
bool WriteSuppressBalloon(int n) { return WriteText(kOption, L"SuppressBallonPopUp", Decimal(n)); }

std::wstring ReadInfoFileURLBase() {
  return ReadText(kSetting, L"InfoFileURLBase", L"", kShortText);
}
std::wstring ReadUseModelCode() { return ReadText(kOption, L"UseModelCode", L"0", kShortText); }
std::wstring ReadLanguage() { return ReadText(kOption, L"Language", L"NONE", kShortText); }
std::wstring ReadUseSystemDefaultUILanguage() {
  return ReadText(kOption, L"UseSystemDefaultUILanguage", L"0", kShortText);
}

bool ReadURLForInvalidInfoFile(std::wstring* url) {
  return ReadOptionalURL(L"URLForInvalidInfoFile", url);
}
bool ReadURLForInvalidSupportPage(std::wstring* url) {
  return ReadOptionalURL(L"URLForInvalidSupportPage", url);
}

