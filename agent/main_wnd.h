#pragma once
// The resident agent's hidden main window. Later starts of the agent find
// it by its window property and send it requests.
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

class CMainWnd : public zu::Window {
 public:
  bool Create();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  UINT notify_message_ = 0;
};
