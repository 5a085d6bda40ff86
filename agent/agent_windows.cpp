#include "agent/agent_windows.h"

// The request is marked before the handles are read, and a handle is
// published before the mark is read: of a request and a publication that
// meet, at least one side sees the other, so no request is lost.

namespace {
void PostQuit(HWND dialog) {
  if (dialog) ::PostMessageW(dialog, WM_QUIT, 0, 0);
}
void PostClose(HWND wnd) {
  if (wnd && ::IsWindow(wnd)) ::PostMessageW(wnd, WM_CLOSE, 0, 0);
}
}  // namespace

void AgentWindows::PublishMainWindow(HWND wnd) {
  main_window_ = wnd;
  if (stop_requested_) PostClose(wnd);
}

void AgentWindows::PublishOptionsDialog(HWND dialog) {
  options_dialog_ = dialog;
  if (stop_requested_) PostQuit(dialog);
}

void AgentWindows::RequestStop() {
  stop_requested_ = true;
  PostQuit(options_dialog_);
  PostClose(main_window_);
}
