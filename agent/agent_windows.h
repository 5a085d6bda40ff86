#pragma once
// The agent's windows as another thread sees them. The user-interface thread
// publishes the main window and the open Options dialog by handle as they
// come and go; the observer's watcher thread reads only these handles and
// posts to them, never touching a window object the user-interface thread
// may be destroying.
#include <windows.h>

#include <atomic>

#include "agent/observer.h"

class AgentWindows : public CObserveApp::IObserveEvent {
 public:
  // Publishing after a stop request hands the request on at once: a dialog
  // gets WM_QUIT (its modal loop ends), the main window WM_CLOSE.
  void PublishMainWindow(HWND wnd);
  void PublishOptionsDialog(HWND dialog);
  HWND main_window() const { return main_window_; }
  HWND options_dialog() const { return options_dialog_; }

  // Any thread: ends the open Options dialog's modal loop and closes the main
  // window. A request that comes while neither exists is kept, so that
  // start-up ends instead of becoming resident beyond its reach.
  void RequestStop();
  bool stop_requested() const { return stop_requested_; }

  // The observer's sink: both requests stop this agent.
  void OnGlobalShutdown() override { RequestStop(); }
  void OnSessionShutdown() override { RequestStop(); }

 private:
  std::atomic<HWND> main_window_{nullptr};
  std::atomic<HWND> options_dialog_{nullptr};
  std::atomic<bool> stop_requested_{false};
};
