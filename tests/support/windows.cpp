#include "tests/support/windows.h"

#include <utility>

namespace zu::test {
namespace {

constexpr wchar_t kStandInClass[] = L"ZUTestStandIn";

// The pending call of WhileModal on this thread, its condition and timer.
thread_local std::function<void()> t_inside;
thread_local std::function<bool()> t_ready;
thread_local UINT_PTR t_timer = 0;

void CALLBACK RunInside(HWND, UINT, UINT_PTR timer, DWORD) {
  if (t_ready && !t_ready()) return;  // the timer fires again
  ::KillTimer(nullptr, timer);
  t_timer = 0;
  std::function<void()> inside = std::exchange(t_inside, nullptr);
  if (inside) inside();
}

}  // namespace

StandInWindow::StandInWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &StandInWindow::Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = kStandInClass;
  ::RegisterClassW(&wc);  // fails harmlessly once registered
  hwnd_ = ::CreateWindowExW(0, kStandInClass, L"stand-in", WS_POPUP, 0, 0, 10, 10, nullptr,
                            nullptr, wc.hInstance, this);
}

StandInWindow::~StandInWindow() { Destroy(); }

void StandInWindow::Destroy() {
  if (hwnd_) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT CALLBACK StandInWindow::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  } else if (msg == WM_CLOSE) {
    if (auto* self = reinterpret_cast<StandInWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA)))
      ++self->closes_;
    return 0;
  }
  return ::DefWindowProcW(wnd, msg, wp, lp);
}

void PumpMessages(DWORD ms) {
  const DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (::GetTickCount() - start < ms);
}

INT_PTR WhileModal(const std::function<INT_PTR()>& modal, std::function<void()> inside,
                   std::function<bool()> ready) {
  t_inside = std::move(inside);
  t_ready = std::move(ready);
  // A thread timer: any modal loop of this thread dispatches it.
  t_timer = ::SetTimer(nullptr, 0, 10, &RunInside);
  const INT_PTR result = modal();
  if (t_timer) ::KillTimer(nullptr, t_timer);
  t_timer = 0;
  t_inside = nullptr;
  t_ready = nullptr;
  return result;
}

}  // namespace zu::test
