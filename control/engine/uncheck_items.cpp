#include "control/engine/uncheck_items.h"

bool IsStorableItemName(const std::wstring& name) {
  if (name.empty() || name.front() == L'[' || name.front() == L';') return false;
  for (wchar_t c : name)
    if (c == L'=' || c == L'\r' || c == L'\n' || c == L'\0') return false;
  return true;
}

bool IsUncheckedValue(const std::wstring& value) { return value == L"1"; }
