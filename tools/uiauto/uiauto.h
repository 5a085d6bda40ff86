#pragma once
// Finding, reading and pressing windows of any process on this desktop, the
// way a person would use them, for end-to-end tests and scripts.
//
// Every call that waits polls every 50 ms up to its time-out; every message
// sent to another window has a time-out too, so a hung program never hangs
// its caller.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace zu::ui {

struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  std::wstring class_name;
  std::wstring caption;
  bool visible = false;
};

struct ControlInfo {
  HWND hwnd = nullptr;
  int id = 0;
  std::wstring class_name;
  std::wstring text;  // read by WM_GETTEXT
  bool visible = false;
  bool enabled = false;
  int check = -1;  // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE; -1 if no check box
  RECT rect{};     // screen coordinates
};

// Top-level windows (hidden ones included) of the process, or of all
// processes when pid is 0.
std::vector<HWND> TopLevelWindows(DWORD pid = 0);
WindowInfo DescribeWindow(HWND wnd);

// The first top-level window whose caption and class are these (an empty
// caption or class matches any, not both empty); nullptr after the time-out.
HWND WaitForWindow(const std::wstring& caption, const std::wstring& class_name, DWORD timeout_ms,
                   DWORD pid = 0);
// True once the window no longer exists.
bool WaitForWindowGone(HWND wnd, DWORD timeout_ms);

std::wstring ReadWindowText(HWND wnd);

// All descendants of top, in the order the window manager keeps them.
std::vector<ControlInfo> ReadControls(HWND top);
std::optional<ControlInfo> FindControl(HWND top, int id);
// By text, with or without the mnemonic '&'; visible controls first.
std::optional<ControlInfo> FindControl(HWND top, const std::wstring& text);

// The control once it exists and a person could use it (shown, enabled,
// its window enabled); nullopt after the time-out. A window is found as
// soon as it exists, before its controls are made or set up: wait for the
// control before acting on it.
std::optional<ControlInfo> WaitForControl(HWND top, int id, DWORD timeout_ms);
std::optional<ControlInfo> WaitForControl(HWND top, const std::wstring& text, DWORD timeout_ms);

// Clicks a visible, enabled button by posting BM_CLICK, so that a button
// that ends a modal loop never blocks the caller. False when there is no
// such button or it could not be clicked by a person (hidden, disabled).
bool PressButton(HWND top, int id);
bool PressButton(HWND top, const std::wstring& text);

// Clicks the check box (BM_CLICK, like a user) until it shows the state;
// true when it does, also when it already did. False for a missing,
// hidden or disabled box, or one that does not change when clicked.
bool SetCheck(HWND top, int id, bool checked);

// The message text of a message box (class "#32770").
std::wstring ReadMessageBoxText(HWND box);
// The message box with this caption once it is on the screen (its text
// and buttons are set only then); nullptr after the time-out.
HWND WaitForMessageBox(const std::wstring& caption, DWORD timeout_ms, DWORD pid = 0);
// Waits up to the time-out for the message box with this caption to be
// shown, reads its text into *text_out (may be null), presses the button
// and waits up to the time-out again for the box to close. True when it
// has closed.
bool CloseMessageBox(const std::wstring& caption, const std::wstring& button_text,
                     DWORD timeout_ms, std::wstring* text_out);

// The text of the balloon the tray shows now, or empty. Wine's tray shows
// a balloon as a visible top-level tooltip whose window text is the
// balloon text.
std::wstring VisibleBalloonText();
// How many icons Wine's tray shows: the visible children of its window.
int TrayIconCount();

// The whole screen (the Xvfb display under Wine) as a 24-bit PNG.
bool SaveScreenshot(const std::wstring& png_path);

}  // namespace zu::ui
