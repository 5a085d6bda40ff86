#include "agent/pulse_generator.h"

#include "agent/info/my_reg_key.h"
#include "agent/schedule.h"

const wchar_t kPulseGeneratorName[] = L"ZU pulse generator";

namespace {

const wchar_t kWorkWndClass[] = L"ZUWorkWnd";

CInterruptive* g_receiver = nullptr;
// A pulse can open a modal loop (a message box), which delivers further
// ticks; those are dropped so that pulses never nest.
bool g_in_pulse = false;

}  // namespace

zu::seams::SetTimerFn zu::seams::set_timer = ::SetTimer;

void CWorkWnd::CreateWorkWnd(HWND main_wnd, const wchar_t* name) {
  if (created()) return;
  if (!main_wnd || !::IsWindow(main_wnd))
    throw CWndException("Can't get the pointer of APP Main Wnd");
  // Owned, not WS_CHILD: the menu window has to be able to become the
  // foreground window.
  if (!Create(kWorkWndClass, name, WS_SYSMENU, 0, main_wnd))
    throw CWndException("Can't create window frame");
  main_wnd_ = main_wnd;
  ::SetWindowPos(hwnd(), nullptr, 0, 0, 10, 10, SWP_NOZORDER | SWP_NOACTIVATE);
}

CPulseGenerator::~CPulseGenerator() {
  Stop();
  Destroy();
}

void CPulseGenerator::SetReceiver(CInterruptive* receiver) { g_receiver = receiver; }

void CPulseGenerator::Start(HWND main_wnd, UINT period_ms) {
  Create(main_wnd);
  Stop();
  if (!zu::seams::set_timer(hwnd(), kPulseTimerId, period_ms, &CPulseGenerator::OnTick))
    throw CTimerException("can't set timer");
  timer_running_ = true;
}

void CPulseGenerator::Stop() {
  if (!timer_running_) return;
  if (IsWindow()) ::KillTimer(hwnd(), kPulseTimerId);
  timer_running_ = false;
}

LRESULT CWorkWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_GETMINMAXINFO) {
    // An owned window gets a caption's minimum size; this one stays 10x10.
    reinterpret_cast<MINMAXINFO*>(lp)->ptMinTrackSize = POINT{0, 0};
    return 0;
  }
  return zu::Window::OnMessage(msg, wp, lp);
}

LRESULT CPulseGenerator::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) Stop();
  return CWorkWnd::OnMessage(msg, wp, lp);
}

void CALLBACK CPulseGenerator::OnTick(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_receiver || g_in_pulse) return;
  g_in_pulse = true;
  struct Reset {
    ~Reset() { g_in_pulse = false; }
  } reset;
  g_receiver->Pulse();
}

UINT ReadPulsePeriod() {
  DWORD ms = 0;
  const bool present = CMyRegKey().GetDebugPulseInterval(&ms);
  return PulsePeriodMs(present, ms);
}
