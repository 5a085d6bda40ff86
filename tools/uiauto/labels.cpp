#include "tools/uiauto/labels.h"

namespace zu::ui {

std::wstring StripMnemonic(const std::wstring& label) {
  std::wstring out;
  out.reserve(label.size());
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == L'&') {
      if (i + 1 < label.size() && label[i + 1] == L'&') {
        out += L'&';
        ++i;
      }
      continue;
    }
    out += label[i];
  }
  return out;
}

bool SameLabel(const std::wstring& control_text, const std::wstring& wanted) {
  if (wanted.empty()) return false;  // would match every unlabelled control
  if (control_text == wanted) return true;
  const std::wstring shown = StripMnemonic(control_text);
  // What the screen shows ("Save & Exit" for "Save && Exit"), or both
  // written with mnemonics.
  return wanted == shown || StripMnemonic(wanted) == shown;
}

std::wstring EscapeField(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\r': out += L"\\r"; break;
      case L'\n': out += L"\\n"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace zu::ui
