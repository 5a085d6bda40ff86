#pragma once
// Finding and pressing the agent's windows from a test, as a user would.
#include <windows.h>

#include <string>
#include <vector>

namespace lab::ui {

// A top-level window with this caption (and class, when given) of the
// process (any, when pid is 0); nullptr after the time-out.
HWND WaitForWindow(const std::wstring& caption, const std::wstring& class_name, DWORD timeout_ms,
                   DWORD pid = 0);
bool WaitForWindowGone(HWND wnd, DWORD timeout_ms);
std::vector<HWND> TopLevelWindows(DWORD pid = 0);
std::wstring ReadWindowText(HWND wnd);
// Clicks the dialog's button by posting BM_CLICK, so that a button that
// ends a modal loop never blocks the test.
bool PressButton(HWND dialog, int id);
// The whole screen (the lab's Xvfb display) as a PNG file.
bool SaveScreenshot(const std::wstring& png_path);

}  // namespace lab::ui
