#include "control/module_path.h"

#include "common/file_name_rules.h"

namespace {

// File name and base of a module URL; false when it has no local path.
bool SplitModuleName(const std::wstring& url, std::wstring* name, std::wstring* base) {
  std::size_t slash = url.rfind(L'/');
  if (slash == std::wstring::npos) return false;
  *name = url.substr(slash + 1);
  std::size_t dot = name->rfind(L'.');
  if (dot == std::wstring::npos) return false;
  *base = name->substr(0, dot);
  if (base->empty() || !zu::IsPlainFileName(*name) || !zu::IsPlainFileName(*base)) return false;
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
