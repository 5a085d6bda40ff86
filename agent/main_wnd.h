#pragma once
// The resident agent's hidden main window. It owns the notification icon
// and the pulse timer, runs the update check when one is due, and carries
// out the requests later starts of the agent send it.
#include <memory>

#include "agent/agent_switches.h"
#include "agent/notify_icon_wnd.h"
#include "agent/pulse_generator.h"
#include "agent/schedule.h"
#include "agent/update_check.h"
#include "common/framework/window.h"

extern const wchar_t kMainWndTitle[];     // "ZU MainWnd"
extern const wchar_t kNotifyProperty[];   // "ZEFONtf.exe"
extern const wchar_t kNotifyMessageName[];  // "ZEFONtfy Window Message"

// wParam values of the registered message.
enum NotifyRequest : WPARAM {
  kRequestOptions = 1,
  kRequestSupportPage = 2,
  kRequestRefreshIcon = 3,
};

// What the main window asks of the application that made it.
class IMainWndOwner {
 public:
  virtual ~IMainWndOwner() = default;
  // Open-options: shows the Options dialog, or brings the open one forward.
  virtual void OpenOptions() = 0;
};

class CMainWnd : public zu::Window, public CInterruptive, public INotifyIconOwner {
 public:
  // The owner, the switches and the check's world outlive the window.
  CMainWnd(IMainWndOwner& owner, AgentSwitches& switches, const CheckWorld& world);
  ~CMainWnd() override;

  // Creates the window, its icon and its pulse timer. Throws what the
  // helper windows and the timer throw (CWndException, CTimerException).
  bool Create();

  // One wake-up: the welcome balloon, or the due-check and the check.
  void Pulse() override;
  // Runs one update check of the address (kOwnInfoFile: this PC's file) and
  // shows the balloon it calls for.
  void Check(const std::wstring& address);

  // INotifyIconOwner
  bool IsAutoCheckOn() const override;
  bool AreBalloonsSuppressed() const override;
  bool OpenSupportPage(bool automatic) override;
  void OpenOptions() override;
  bool IsOptionsQuestionOpen() const override;

  CNtifyIconWnd* icon_window() const { return icon_window_.get(); }
  const CCheckSchedule& schedule() const { return schedule_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void OnCreate();

  IMainWndOwner& owner_;
  AgentSwitches& switches_;
  const CheckWorld& world_;
  UINT notify_message_ = 0;
  bool icon_enabled_ = false;
  UINT pulse_period_ = kDefaultPulsePeriodMs;
  bool welcome_shown_ = false;
  std::unique_ptr<CPulseGenerator> generator_;
  CCheckSchedule schedule_;
  zu::UniqueIcon icon_;
  std::unique_ptr<CNtifyIconWnd> icon_window_;
};
