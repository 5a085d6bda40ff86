#pragma once
// How control labels are compared and printed. Plain C++ so that the
// rules are testable without windows.
#include <string>

namespace zu::ui {

// "&Yes" -> "Yes"; "&&" stands for a literal '&'.
std::wstring StripMnemonic(const std::wstring& label);

// A control's text matches what a caller asked for, written as in the
// program ("&Yes", "Save && Exit") or as the screen shows it ("Yes",
// "Save & Exit"). Case counts, as it does for
// a person reading the screen. An empty wish matches nothing.
bool SameLabel(const std::wstring& control_text, const std::wstring& wanted);

// One field of a tab-separated line: backslash, tab, CR and LF escaped as
// \\ \t \r \n so that every control stays on one line.
std::wstring EscapeField(const std::wstring& text);

}  // namespace zu::ui
