#include "agent/main_wnd.h"

#include "agent/app.h"
#include "agent/info/settings.h"

const wchar_t kMainWndTitle[] = L"ZU MainWnd";
const wchar_t kNotifyProperty[] = L"ZEFONtf.exe";
const wchar_t kNotifyMessageName[] = L"ZEFONtfy Window Message";

namespace {
const wchar_t kMainWndClass[] = L"ZEFOUpdateMainWnd";
}

bool CMainWnd::Create() {
  notify_message_ = ::RegisterWindowMessageW(kNotifyMessageName);
  return zu::Window::Create(kMainWndClass, kMainWndTitle, 0);
}

LRESULT CMainWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      TheApp().options().FromStored(ReadSuppressBalloon());
      ::SetPropW(hwnd(), kNotifyProperty, reinterpret_cast<HANDLE>(1));
      return 0;
    case WM_DESTROY:
      ::RemovePropW(hwnd(), kNotifyProperty);
      // The application's main window: its end is the agent's end.
      ::PostQuitMessage(0);
      return 0;
  }
  if (msg == notify_message_ && notify_message_ != 0) {
    if (wp == kRequestOptions) TheApp().OpenOptions();
    return -1;
  }
  return zu::Window::OnMessage(msg, wp, lp);
}
