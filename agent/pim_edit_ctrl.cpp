#include "agent/pim_edit_ctrl.h"

#include <vector>

void CPimEditCtrl::EnableLinks() const {
  ::SendMessageW(hwnd_, EM_AUTOURLDETECT, TRUE, 0);
  LRESULT mask = ::SendMessageW(hwnd_, EM_GETEVENTMASK, 0, 0);
  ::SendMessageW(hwnd_, EM_SETEVENTMASK, 0, mask | ENM_LINK);
}

void CPimEditCtrl::SetText(const std::wstring& text) const {
  // The default limit (32767 characters) would cut a long text.
  ::SendMessageW(hwnd_, EM_EXLIMITTEXT, 0, static_cast<LPARAM>(text.size() + 1024));
  ::SetWindowTextW(hwnd_, text.c_str());
}

void CPimEditCtrl::WrapAtWindowWidth() const { ::SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, 0); }

void CPimEditCtrl::Select(LONG from, LONG to) const {
  CHARRANGE range{from, to};
  ::SendMessageW(hwnd_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CPimEditCtrl::SetBold(LONG from, LONG to, LONG twips) const {
  Select(from, to);
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_BOLD | CFM_SIZE;
  format.dwEffects = CFE_BOLD;
  format.yHeight = twips;
  ::SendMessageW(hwnd_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

std::wstring CPimEditCtrl::SelectedText(size_t max_chars) const {
  CHARRANGE range{};
  ::SendMessageW(hwnd_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
  if (range.cpMax <= range.cpMin || range.cpMin < 0) return L"";
  const size_t length = static_cast<size_t>(range.cpMax - range.cpMin);
  if (length > max_chars) return L"";
  // Bounded read: room for line breaks written as two characters.
  std::vector<wchar_t> buffer(2 * length + 2, L'\0');
  GETTEXTEX request{};
  request.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  request.flags = GT_SELECTION;
  request.codepage = 1200;  // UTF-16
  LRESULT n = ::SendMessageW(hwnd_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&request),
                             reinterpret_cast<LPARAM>(buffer.data()));
  if (n <= 0) return L"";
  buffer.back() = L'\0';
  return std::wstring(buffer.data());
}
