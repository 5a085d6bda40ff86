#include "tests/ui_support.h"

namespace lab::ui {
namespace {
struct Query {
  DWORD pid;
  std::vector<HWND> found;
};
BOOL CALLBACK Collect(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<Query*>(lp);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(w, &owner);
  if (q->pid == 0 || owner == q->pid) q->found.push_back(w);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
  Query q{pid, {}};
  ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

std::wstring ReadWindowText(HWND wnd) {
  wchar_t buf[1024] = L"";
  DWORD_PTR len = 0;
  // A hung window must not hang the test.
  ::SendMessageTimeoutW(wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                        2000, &len);
  return buf;
}

HWND WaitForWindow(const std::wstring& caption, const std::wstring& class_name, DWORD timeout_ms,
                   DWORD pid) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    for (HWND w : TopLevelWindows(pid)) {
      if (ReadWindowText(w) != caption) continue;
      wchar_t cls[256] = L"";
      ::GetClassNameW(w, cls, 256);
      if (class_name.empty() || class_name == cls) return w;
    }
    if (::GetTickCount() - start >= timeout_ms) return nullptr;
    ::Sleep(50);
  }
}

bool WaitForWindowGone(HWND wnd, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  while (::IsWindow(wnd)) {
    if (::GetTickCount() - start >= timeout_ms) return false;
    ::Sleep(50);
  }
  return true;
}

bool PressButton(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  return button && ::PostMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace lab::ui
