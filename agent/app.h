#pragma once
// The agent's application object: decides from the command line between a
// one-shot action and a resident session, and owns what lives for the
// process.
#include <windows.h>

#include <memory>
#include <string>

#include "agent/main_wnd.h"
#include "agent/observer.h"
#include "common/framework/handle.h"

class CInstallDLG;
class CSetupDialog;

// The two switches behind the stored "SuppressBallonPopUp" option.
struct AgentOptions {
  bool auto_check = true;
  bool balloons_suppressed = false;
  void FromStored(int suppress) {
    auto_check = suppress != 2;
    balloons_suppressed = suppress == 1;
  }
};

class CZUApp : public CObserveApp::IObserveEvent {
 public:
  CZUApp();
  ~CZUApp();
  CZUApp(const CZUApp&) = delete;
  CZUApp& operator=(const CZUApp&) = delete;

  // Start-up, the message loop of a resident run, and the exit path.
  int Run(const wchar_t* command_tail);

  // Shows the Options dialog modally, once per process; a second request
  // brings the open one to the front.
  void OpenOptions();
  bool disable_button() const { return disable_button_; }
  CMainWnd* main_window() const { return main_window_.get(); }
  AgentOptions& options() { return options_; }
  // True while the Options dialog asks whether to turn automatic checking
  // off; the tray's Exit then brings the dialog forward instead of ending.
  bool options_question_open() const { return options_question_open_; }
  void set_options_question_open(bool open) { options_question_open_ = open; }

  void OnGlobalShutdown() override { OnShutdownRequest(); }
  void OnSessionShutdown() override { OnShutdownRequest(); }

 private:
  bool InitInstance(const std::wstring& tail);
  void ExitInstance();
  void OnShutdownRequest();
  bool CreateMainWindow();
  void SetAgentMessageOwnersFromApp();
  void ForwardToRunningAgent(const std::wstring& tail);
  void RunInstallingStep();

  zu::UniqueModule resources_;
  CObserveApp observer_{L"ZEFO Update"};
  zu::UniqueHandle session_mutex_;
  ULONG_PTR gdiplus_token_ = 0;
  bool ole_initialized_ = false;
  std::unique_ptr<CMainWnd> main_window_;
  CInstallDLG* installing_dialog_ = nullptr;  // only while the "/S" dialog is open

  AgentOptions options_;
  bool disable_button_ = false;
  bool options_question_open_ = false;
  // Read by the watcher thread without a lock; it only posts messages.
  volatile bool options_open_ = false;
  CSetupDialog* volatile options_dialog_ = nullptr;
};

CZUApp& TheApp();
