#include "control/file_queries.h"

#include <ctime>
#include <vector>

#include "common/framework/handle.h"
#include "common/installed_components.h"
#include "control/error_codes.h"
#include "control/registry_text.h"
#include "control/version_text.h"

namespace {

constexpr std::size_t kVersionPathChars = 255;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// False when the result does not fit 260 characters.
bool ExpandPath(const std::wstring& path, std::wstring* expanded) {
  wchar_t buffer[kExpandedPathChars];
  const DWORD n = ::ExpandEnvironmentStringsW(path.c_str(), buffer, kExpandedPathChars);
  if (n == 0 || n > kExpandedPathChars) return false;
  *expanded = buffer;
  return true;
}

}  // namespace

std::wstring FromSystemCodePage(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  const int n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
  std::wstring text(n > 0 ? n : 0, L'\0');
  if (n > 0)
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  return text;
}

bool IsExistingFile(const std::wstring& path) {
  const DWORD attrs = ::GetFileAttributesW(path.c_str());
  return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FileVersionText(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return std::wstring();
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return std::wstring();
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof(VS_FIXEDFILEINFO))
    return std::wstring();
  wchar_t text[64];
  ::wsprintfW(text, L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
              HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
  return text;
}

std::wstring FormatLocalFileTime(const FILETIME& utc) {
  SYSTEMTIME universal, local;
  if (!::FileTimeToSystemTime(&utc, &universal) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return std::wstring();
  std::tm t{};
  t.tm_year = local.wYear - 1900;
  t.tm_mon = local.wMonth - 1;
  t.tm_mday = local.wDay;
  t.tm_hour = local.wHour;
  t.tm_min = local.wMinute;
  t.tm_sec = local.wSecond;
  t.tm_wday = local.wDayOfWeek;
  wchar_t text[64];
  const std::size_t n = std::wcsftime(text, 64, L"%Y-%m-%d-%X", &t);
  return std::wstring(text, n);
}

std::wstring ReadFileVersionForPage(const std::wstring& path, long* error) {
  *error = kZuErrorSuccess;
  std::wstring full;
  if (!ExpandPath(path, &full) || !IsExistingFile(full)) {
    *error = kZuErrorFileMissing;
    return std::wstring();
  }
  return FileVersionText(full);
}

std::wstring ReadFileLastWriteTimeForPage(const std::wstring& path, long* error) {
  *error = kZuErrorSuccess;
  std::wstring full;
  FILETIME written{};
  if (ExpandPath(path, &full) && IsExistingFile(full)) {
    zu::UniqueFile file(::CreateFileW(full.c_str(), GENERIC_READ, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && ::GetFileTime(file.get(), nullptr, nullptr, &written)) {
      std::wstring text = FormatLocalFileTime(written);
      if (!text.empty()) return text;
    }
  }
  *error = kZuErrorFileMissing;
  return std::wstring();
}

std::wstring ReadVersionTextForPage(const std::wstring& path, long* error) {
  std::wstring text;
  if (IsExistingFile(path)) {
    zu::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char head[kVersionTextBytes];
    DWORD got = 0;
    if (file && ::ReadFile(file.get(), head, sizeof(head), &got, nullptr))
      text = FromSystemCodePage(FirstVersionLine(std::string(head, got)));
  }
  *error = text.empty() ? kZuErrorVersionText : kZuErrorSuccess;
  return text;
}

std::wstring ReadApplicationVersionTextForPage(const std::wstring& app_name, long* error) {
  const std::wstring entry = std::wstring(kSharedInfoKey) + L"\\VersionPath\\" + app_name;
  std::wstring path, text;
  if (ReadRegistryString(HKEY_LOCAL_MACHINE, entry, L"Version", kVersionPathChars,
                         RegistryStringTypes::kPlainOrExpand, &path) &&
      !path.empty()) {
    long ignored = 0;
    text = ReadVersionTextForPage(path, &ignored);
  }
  *error = text.empty() ? kZuErrorVersionText : kZuErrorSuccess;
  return text;
}
