#include "agent/startup_hooks.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "common/framework/handle.h"

namespace {

constexpr wchar_t kStartUpKey[] = L"SOFTWARE\\Vexa Corporation\\ZEFO Update 4\\StartUp";
constexpr DWORD kMaxChars = 260;

// Missing, over-long or non-text values count as empty.
std::wstring ReadText(HKEY key, const wchar_t* name) {
  wchar_t buf[kMaxChars + 1] = L"";
  DWORD type = 0, size = kMaxChars * sizeof(wchar_t);
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return L"";
  buf[size / sizeof(wchar_t)] = L'\0';
  return buf;
}

}  // namespace

void RunStartupHooks() {
  zu::UniqueRegKey root;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStartUpKey, 0, KEY_READ, root.put()) != ERROR_SUCCESS)
    return;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD name_len = 256;
    LONG r = ::RegEnumKeyExW(root.get(), i, name, &name_len, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;
    zu::UniqueRegKey hook;
    if (::RegOpenKeyExW(root.get(), name, 0, KEY_READ, hook.put()) != ERROR_SUCCESS) continue;
    const std::wstring path = ReadText(hook.get(), L"Path");
    if (path.empty()) continue;
    const std::wstring option = ReadText(hook.get(), L"Option");
    ::ShellExecuteW(nullptr, L"open", path.c_str(), option.c_str(), nullptr, SW_SHOW);
  }
}
