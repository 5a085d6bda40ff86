#pragma once
// The rich edit control (2.0) of the Options dialog's information text.
// It has no behaviour of its own; the dialog drives it through these calls.
#include <windows.h>
#include <richedit.h>

#include <string>

class CPimEditCtrl {
 public:
  void Attach(HWND control) { hwnd_ = control; }
  HWND hwnd() const { return hwnd_; }

  // Automatic address detection, with link notifications to the parent.
  void EnableLinks() const;
  void SetText(const std::wstring& text) const;
  // Lines wrap at the control's width.
  void WrapAtWindowWidth() const;
  // Bold at the given height (twips) for the characters [from, to).
  void SetBold(LONG from, LONG to, LONG twips) const;
  void Select(LONG from, LONG to) const;
  // The selected text (at most max_chars characters).
  std::wstring SelectedText(size_t max_chars) const;

 private:
  HWND hwnd_ = nullptr;
};
