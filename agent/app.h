#pragma once
// The agent's application object: decides from the command line between a
// one-shot action and a resident session, owns what lives for the process,
// and hands each window what it needs. Only start-up (main.cpp) names it.
#include <windows.h>

#include <memory>
#include <string>

#include "agent/agent_switches.h"
#include "agent/agent_windows.h"
#include "agent/main_wnd.h"
#include "agent/observer.h"
#include "agent/setup_dialog.h"
#include "agent/update_check.h"
#include "common/framework/handle.h"

class CZUApp : public IMainWndOwner, public IOptionsDialogOwner {
 public:
  CZUApp();
  ~CZUApp() override;
  CZUApp(const CZUApp&) = delete;
  CZUApp& operator=(const CZUApp&) = delete;

  // Start-up, the message loop of a resident run, and the exit path.
  int Run(const wchar_t* command_tail);

  // Shows the Options dialog modally, once per process; a second request
  // brings the open one to the front.
  void OpenOptions() override;

  // IOptionsDialogOwner
  void SetOpenDialog(HWND dialog) override;
  void OpenSupportPage() override;
  void SwitchesChanged() override;

 private:
  bool InitInstance(const std::wstring& tail);
  void ExitInstance();
  bool CreateMainWindow();
  void ForwardToRunningAgent(const std::wstring& tail);
  void RunInstallingStep();

  AgentSwitches switches_;
  // Declared before the observer: its watcher thread calls this sink until
  // the observer is gone.
  AgentWindows windows_;
  CheckWorld check_world_ = CheckWorld::Real(switches_);
  zu::UniqueModule resources_;
  CObserveApp observer_{L"ZEFO Update"};
  zu::UniqueHandle session_mutex_;
  ULONG_PTR gdiplus_token_ = 0;
  bool ole_initialized_ = false;
  std::unique_ptr<CMainWnd> main_window_;
  bool options_open_ = false;
};
