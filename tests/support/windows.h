#pragma once
// Windows of the test thread: a stand-in for one of the program's windows,
// pumping this thread's messages, and acting from inside a modal loop.
#include <windows.h>

#include <functional>

namespace zu::test {

// A hidden top-level window standing for the program's main window or a
// message box owner. WM_CLOSE is counted, not acted on: it stays.
class StandInWindow {
 public:
  StandInWindow();
  ~StandInWindow();
  StandInWindow(const StandInWindow&) = delete;
  StandInWindow& operator=(const StandInWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  int closes() const { return closes_; }
  void Destroy();

 private:
  static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
  int closes_ = 0;
};

// Dispatches this thread's messages (timers included) for ms milliseconds.
void PumpMessages(DWORD ms);

// Runs modal (a modal dialog or message box of this thread) and calls
// inside once from within its loop, as soon as that loop runs and ready
// (when given) says its window is up; answers what modal answers. inside
// must end the modal loop, or arrange for it to end. (A window's creation
// may dispatch timers before the window exists: ready waits that out.)
INT_PTR WhileModal(const std::function<INT_PTR()>& modal, std::function<void()> inside,
                   std::function<bool()> ready = {});

}  // namespace zu::test
