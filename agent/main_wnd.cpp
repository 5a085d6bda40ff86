#include "agent/main_wnd.h"

#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/resource.h"

const wchar_t kMainWndTitle[] = L"ZU MainWnd";
const wchar_t kNotifyProperty[] = L"ZEFONtf.exe";
const wchar_t kNotifyMessageName[] = L"ZEFONtfy Window Message";

namespace {
const wchar_t kMainWndClass[] = L"ZEFOUpdateMainWnd";
}

CMainWnd::CMainWnd(IMainWndOwner& owner, AgentSwitches& switches, const CheckWorld& world)
    : owner_(owner), switches_(switches), world_(world) {}

CMainWnd::~CMainWnd() {
  generator_.reset();
  icon_window_.reset();
}

bool CMainWnd::Create() {
  notify_message_ = ::RegisterWindowMessageW(kNotifyMessageName);
  if (!zu::Window::Create(kMainWndClass, kMainWndTitle, 0)) return false;
  // Outside WM_CREATE: the helper windows and the timer throw, and an
  // exception must not cross the system's window procedure.
  OnCreate();
  return true;
}

void CMainWnd::OnCreate() {
  schedule_.SetIntervalText(ReadInterval());
  switches_.FromStored(ReadSuppressBalloon());
  icon_enabled_ = switches_.auto_check;

  icon_window_ = std::make_unique<CNtifyIconWnd>(*this);
  icon_window_->Create(hwnd());
  icon_.reset(LoadAgentIcon());
  if (switches_.auto_check)
    icon_window_->SetIcon(zu::LoadResString(IDS_APP_TITLE), icon_.get(), true);

  generator_ = std::make_unique<CPulseGenerator>();
  CPulseGenerator::SetReceiver(this);
  pulse_period_ = ReadPulsePeriod();
  generator_->Start(hwnd(), pulse_period_);

  ::SetPropW(hwnd(), kNotifyProperty, reinterpret_cast<HANDLE>(1));
}

void CMainWnd::Pulse() {
  if (!IsAutoCheckOn()) return;
  if (!welcome_shown_ && CMyRegKey().CheckFirstRun() && world_.connected()) {
    welcome_shown_ = true;
    icon_window_->ShowBalloon(icon_.get(), BalloonKind::kWelcome);
  } else if (schedule_.IsCheckDue(StoredSchedule()) && !CMyRegKey().CheckFirstRun()) {
    Check(kOwnInfoFile);
  }
  pulse_period_ = ReadPulsePeriod();
}

void CMainWnd::Check(const std::wstring& address) {
  const CheckResult result = RunUpdateCheck(address, world_);
  if (result.interval_days != -1) schedule_.SetIntervalDays(result.interval_days);
  if (result.balloon) icon_window_->ShowBalloon(icon_.get(), *result.balloon);
}

bool CMainWnd::IsAutoCheckOn() const { return switches_.auto_check; }

bool CMainWnd::AreBalloonsSuppressed() const { return switches_.balloons_suppressed; }

bool CMainWnd::OpenSupportPage(bool automatic) { return ::OpenSupportPage(automatic, world_); }

void CMainWnd::OpenOptions() { owner_.OpenOptions(); }

bool CMainWnd::IsOptionsQuestionOpen() const { return switches_.options_question_open; }

LRESULT CMainWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      // The timer goes before the window, so no tick reaches a window
      // that is being destroyed.
      generator_.reset();
      break;
    case WM_DESTROY:
      ::RemovePropW(hwnd(), kNotifyProperty);
      // The application's main window: its end is the agent's end.
      ::PostQuitMessage(0);
      return 0;
  }
  if (msg == notify_message_ && notify_message_ != 0) {
    switch (wp) {
      case kRequestOptions:
        OpenOptions();
        break;
      case kRequestSupportPage:
        OpenSupportPage(false);
        break;
      case kRequestRefreshIcon:
        if (icon_window_) icon_window_->Refresh();
        break;
    }
    return -1;
  }
  return zu::Window::OnMessage(msg, wp, lp);
}
