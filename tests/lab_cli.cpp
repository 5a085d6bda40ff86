// Command-line access to the test window helpers, for scripts:
//   zulab wait CAPTION [MS]     0 when a window with that caption appears
//   zulab gone CAPTION [MS]     0 when no such window is left
//   zulab press CAPTION ID      presses a dialog button
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tests/ui_support.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: zulab wait|gone CAPTION [MS] | press CAPTION ID\n", stderr);
    return 2;
  }
  const std::wstring cmd = argv[1], caption = argv[2];
  const DWORD ms = argc > 3 ? std::wcstoul(argv[3], nullptr, 10) : 10000;
  if (cmd == L"wait") return lab::ui::WaitForWindow(caption, L"", ms) ? 0 : 1;
  if (cmd == L"gone") {
    const DWORD start = ::GetTickCount();
    while (lab::ui::WaitForWindow(caption, L"", 0))
      if (::GetTickCount() - start > ms) return 1; else ::Sleep(100);
    return 0;
  }
  if (cmd == L"press" && argc > 3) {
    HWND w = lab::ui::WaitForWindow(caption, L"", 5000);
    return w && lab::ui::PressButton(w, static_cast<int>(std::wcstol(argv[3], nullptr, 10))) ? 0 : 1;
  }
  return 2;
}
