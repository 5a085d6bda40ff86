#include "control/module_path.h"

namespace {

bool IsForbiddenChar(wchar_t c) {
  if (c < 0x20) return true;
  switch (c) {
    case L'\\': case L'/': case L':': case L'*': case L'?':
    case L'"': case L'<': case L'>': case L'|':
      return true;
    default:
      return false;
  }
}

bool EqualsAsciiNoCase(const std::wstring& a, const wchar_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - L'a' + L'A');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

// Windows opens a device for these names whatever extension follows, and
// also with blanks before the first dot ("nul .txt").
bool IsDeviceName(const std::wstring& name) {
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
    if (EqualsAsciiNoCase(stem, device)) return true;
  if (stem.size() == 4) {
    std::wstring port = stem.substr(0, 3);
    wchar_t n = stem[3];
    bool digit = (n >= L'0' && n <= L'9') || n == L'\u00B9' || n == L'\u00B2' || n == L'\u00B3';
    if (digit && (EqualsAsciiNoCase(port, L"COM") || EqualsAsciiNoCase(port, L"LPT"))) return true;
  }
  return false;
}

bool IsPlainFileName(const std::wstring& name) {
  for (wchar_t c : name)
    if (IsForbiddenChar(c)) return false;
  if (name.find(L"..") != std::wstring::npos) return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

// File name and base of a module URL; false when it has no local path.
bool SplitModuleName(const std::wstring& url, std::wstring* name, std::wstring* base) {
  std::size_t slash = url.rfind(L'/');
  if (slash == std::wstring::npos) return false;
  *name = url.substr(slash + 1);
  std::size_t dot = name->rfind(L'.');
  if (dot == std::wstring::npos) return false;
  *base = name->substr(0, dot);
  if (base->empty() || !IsPlainFileName(*name) || !IsPlainFileName(*base)) return false;
  // "C:\Update\" + base + "\" + name + "ZU!"
  std::size_t partial = (sizeof(kUpdateFolder) / sizeof(wchar_t) - 1) + 1 + base->size() + 1 +
                        name->size() + (sizeof(kPartialSuffix) / sizeof(wchar_t) - 1);
  return partial <= kMaxModulePathChars;
}

}  // namespace

std::wstring ModuleFinalPath(const std::wstring& url) {
  std::wstring name, base;
  if (!SplitModuleName(url, &name, &base)) return std::wstring();
  return std::wstring(kUpdateFolder) + L"\\" + base + L"\\" + name;
}

std::wstring ModulePartialPath(const std::wstring& url) {
  std::wstring final_path = ModuleFinalPath(url);
  return final_path.empty() ? final_path : final_path + kPartialSuffix;
}

std::wstring ModuleFolder(const std::wstring& url) {
  std::wstring name, base;
  if (!SplitModuleName(url, &name, &base)) return std::wstring();
  return std::wstring(kUpdateFolder) + L"\\" + base;
}
