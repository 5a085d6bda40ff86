#include "control/module_path.h"

namespace {

bool IsSafeFileName(const std::wstring& name) {
  for (wchar_t c : name) {
    if (c < 0x20) return false;
    switch (c) {
      case L'\\': case L'/': case L':': case L'*': case L'?':
      case L'"': case L'<': case L'>': case L'|':
        return false;
      default:
        break;
    }
  }
  return true;
}

// File name and base of a module URL; false when it has no local path.
bool SplitModuleName(const std::wstring& url, std::wstring* name, std::wstring* base) {
  std::size_t slash = url.rfind(L'/');
  if (slash == std::wstring::npos) return false;
  *name = url.substr(slash + 1);
  std::size_t dot = name->rfind(L'.');
  if (dot == std::wstring::npos) return false;
  *base = name->substr(0, dot);
  if (!IsSafeFileName(*name)) return false;
  // "", "." or ".." as a folder name would put the files outside a module folder.
  return base->find_first_not_of(L'.') != std::wstring::npos;
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
