#pragma once
// The agent's wake-up timer and the small hidden windows the agent's
// helpers live in.
#include <windows.h>

#include <stdexcept>

#include "common/framework/window.h"

// Raised when a helper window cannot be made. Nothing between it and
// start-up catches it; start-up ends the agent on it.
class CWndException : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Raised when the pulse timer cannot be set; start-up ends the agent on it,
// as on CWndException.
class CTimerException : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Receives the ticks of the pulse generator (the agent's main window).
class CInterruptive {
 public:
  virtual ~CInterruptive() = default;
  virtual void Pulse() = 0;
};

// A hidden 10x10 window at the origin, owned by the application's main
// window, with the system-menu style: the pulse generator, the icon holder
// and the icon menu are such windows.
class CWorkWnd : public zu::Window {
 public:
  // Creates the window; does nothing when it exists already. Throws
  // CWndException "Can't get the pointer of APP Main Wnd" when main_wnd is
  // not a window, "Can't create window frame" when creation fails.
  void CreateWorkWnd(HWND main_wnd, const wchar_t* name);
  bool created() const { return IsWindow(); }
  HWND main_wnd() const { return main_wnd_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HWND main_wnd_ = nullptr;
};

extern const wchar_t kPulseGeneratorName[];  // "ZU pulse generator"
constexpr UINT_PTR kPulseTimerId = 1;

// Seam (common/framework/seam.h): the call that sets the pulse timer,
// ::SetTimer by default.
namespace zu::seams {
using SetTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);
extern SetTimerFn set_timer;
}  // namespace zu::seams

class CPulseGenerator : public CWorkWnd {
 public:
  CPulseGenerator() = default;
  ~CPulseGenerator() override;

  // The one process-wide receiver of the ticks; set before Start.
  static void SetReceiver(CInterruptive* receiver);

  void Create(HWND main_wnd) { CreateWorkWnd(main_wnd, kPulseGeneratorName); }
  // Creates the window when needed and sets timer 1 with the period. Throws
  // CWndException (see CWorkWnd) or CTimerException "can't set timer".
  void Start(HWND main_wnd, UINT period_ms);
  // Kills the timer when it runs.
  void Stop();
  bool running() const { return timer_running_; }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
  bool timer_running_ = false;
};

// The pulse period from "_Debug_PulseInterval" (see PulsePeriodMs); the
// main window reads it at start and again on every pulse.
UINT ReadPulsePeriod();
