#include "common/browser.h"

#include <windows.h>
#include <shellapi.h>

#include "common/registry.h"

bool StartsWithProgramFilesMacro(const std::wstring& location) {
  return location.starts_with(kProgramFilesMacro);
}

BrowserLaunch PlanBrowserLaunch(const std::wstring& location,
                                const std::optional<std::wstring>& program_files,
                                const std::wstring& address) {
  if (location.empty()) return {address, L""};
  if (!StartsWithProgramFilesMacro(location)) return {location, address};
  if (!program_files) return {address, L""};
  // Every occurrence, scanning the original so an expansion is never re-read.
  const std::wstring macro = kProgramFilesMacro;
  std::wstring path;
  size_t from = 0;
  for (size_t at; (at = location.find(macro, from)) != std::wstring::npos; from = at + macro.size())
    path.append(location, from, at - from).append(*program_files);
  path.append(location, from, std::wstring::npos);
  return {path, address};
}

namespace {

// The expansion of "%ProgramFiles%", or nullopt when it is not set or does
// not fit the buffer.
std::optional<std::wstring> ExpandProgramFiles() {
  wchar_t buffer[kProgramFilesBufferChars] = {};
  DWORD n = ::ExpandEnvironmentStringsW(kProgramFilesMacro, buffer, kProgramFilesBufferChars);
  if (n == 0 || n > kProgramFilesBufferChars) return std::nullopt;
  buffer[kProgramFilesBufferChars - 1] = L'\0';
  std::wstring expanded = buffer;
  // Unset variables are left as they stand.
  if (expanded.empty() || expanded == kProgramFilesMacro) return std::nullopt;
  return expanded;
}

}  // namespace

void OpenInBrowser(const std::wstring& address) {
  std::wstring location;
  if (!CRegKeyUtil().ReadString(L"", &location, HKEY_LOCAL_MACHINE, kBrowserAppPathKey))
    location.clear();
  std::optional<std::wstring> program_files;
  if (StartsWithProgramFilesMacro(location)) program_files = ExpandProgramFiles();
  BrowserLaunch launch = PlanBrowserLaunch(location, program_files, address);
  ::ShellExecuteW(nullptr, L"open", launch.file.c_str(),
                  launch.parameters.empty() ? nullptr : launch.parameters.c_str(), nullptr,
                  SW_SHOW);
}
