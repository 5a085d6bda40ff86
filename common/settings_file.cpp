#include "common/settings_file.h"

#include <windows.h>
#include <shlobj.h>

std::wstring GetSettingsFilePath() {
  wchar_t base[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
    return L"";
  return std::wstring(base) + L"\\Vexa Corporation\\ZEFO Update\\ZU.ini";
}

int ReadReceiveTimeout() {
  const std::wstring path = GetSettingsFilePath();
  if (path.empty()) return 6000;
  return static_cast<int>(::GetPrivateProfileIntW(L"Option", L"ReceiveTimeout", 6000, path.c_str()));
}
