#include "common/file_name_rules.h"

#include <string_view>

#include "common/ascii_case.h"

namespace zu {

namespace {

// Windows opens a device for these names whatever extension follows, and
// also with blanks before the first dot ("nul .txt").
bool IsDeviceName(const std::wstring& name) {
  std::wstring_view stem(name);
  stem = stem.substr(0, stem.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.remove_suffix(1);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
    if (EqualsIgnoringAsciiCase(stem, device)) return true;
  if (stem.size() == 4) {
    const wchar_t n = stem[3];
    const bool digit = (n >= L'0' && n <= L'9') || n == L'\u00B9' || n == L'\u00B2' || n == L'\u00B3';
    if (digit && (EqualsIgnoringAsciiCase(stem.substr(0, 3), L"COM") ||
                  EqualsIgnoringAsciiCase(stem.substr(0, 3), L"LPT")))
      return true;
  }
  return false;
}

}  // namespace

bool IsFileNameChar(wchar_t c) {
  if (c < 0x20) return false;
  switch (c) {
    case L'\\': case L'/': case L':': case L'*': case L'?':
    case L'"': case L'<': case L'>': case L'|':
      return false;
    default:
      return true;
  }
}

bool IsPlainFileName(const std::wstring& name) {
  if (name.empty()) return false;
  for (wchar_t c : name)
    if (!IsFileNameChar(c)) return false;
  if (name.find(L"..") != std::wstring::npos) return false;
  if (name.back() == L'.' || name.back() == L' ') return false;
  return !IsDeviceName(name);
}

}  // namespace zu
