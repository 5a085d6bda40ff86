#pragma once
// CInstallDLG: the "/S" run after a restart. A small window titled "Now
// Installing...(i/n)" while a worker thread runs the pending second phases
// of C:\Update\PatchList.dat; it keeps the machine awake, pauses with a
// message on battery, hides the system's new-hardware window, and at the
// end restarts or shuts down, or registers quiet starts and opens the
// support page. The worker talks to the dialog only by posted messages.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "agent/info/agent_message.h"
#include "common/framework/handle.h"
#include "common/framework/window.h"
#include "common/patch_installer.h"

// What the run acts on. Real() is the machine; tests replace entries.
// Entries are called from the dialog's thread and from the worker.
struct InstallWorld {
  std::wstring patch_list = PatchListPath();
  LaunchWorld launch = LaunchWorld::Real();
  // The power line is on-line; an unknown status counts as mains.
  std::function<bool()> on_mains;
  std::function<bool(const std::wstring& argument)> register_autorun;
  std::function<void()> open_support_page;  // manual, as from the menu
  std::function<bool()> restart;
  std::function<bool()> shutdown;
  // Screen saver off and the machine awake (true), and back (false); both
  // on the worker thread, which owns its execution state.
  std::function<void(bool hold)> hold_desktop;
  AgentMessageBoxFn message_box = [](HWND owner, const std::wstring& text,
                                     const std::wstring& caption, UINT type) {
    return zu::seams::agent_message_box(owner, text, caption, type);
  };
  // Title of the system window that driver installs may raise: string
  // 2123 of newdev.dll from Vista on, 2040 before; empty when there is none.
  std::function<std::wstring()> new_hardware_title;

  // open_support_page: the agent's manual open-support-page.
  static InstallWorld Real(std::function<void()> open_support_page);
};

// Posted by the worker: message kInstallNotice, wParam a kind below.
inline constexpr UINT kInstallNotice = WM_USER + 2;
enum InstallNoticeKind : int {
  kNoticeStarted = 1,     // lParam: record index; the counter grows
  kNoticeName = 2,        // the current display name is ready to show
  kNoticeTotal = 3,       // lParam: pending second runs
  kNoticeEnd = 4,
  kNoticeRestart = 5,
  kNoticeShutdown = 6,
  kNoticeShow = 7,        // place the dialog at (10, 10) at its full size
};

class CInstallDLG : public zu::Dialog {
 public:
  explicit CInstallDLG(InstallWorld world);
  ~CInstallDLG() override;

  // The battery message, at most one at a time in the logon session; true
  // when this call showed it.
  bool ShowPowerMessage();

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(WORD id, WORD code, HWND control) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;

 private:
  // What the worker and the dialog share: the worker holds it too, so it
  // outlives whichever ends first.
  struct Shared {
    std::atomic<int> remaining{0};  // pending second runs not yet started
    std::mutex name_lock;
    std::wstring name;              // the display name of kind 2
  };
  static void Work(HWND dialog, InstallWorld world, HANDLE power_event,
                   std::shared_ptr<Shared> shared);
  void OnNotice(int kind, LPARAM arg);
  // The restart or shutdown notice: the message, then the session's end.
  void TellThenEndSession(UINT text_id, UINT caption_id, const std::function<bool()>& end_session);

  InstallWorld world_;
  int total_ = 0;
  int counter_ = 0;
  std::thread worker_;
  std::wstring hidden_title_;
  RECT full_rect_ = {};
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  zu::UniqueHandle power_event_;  // signalled while installing may go on
  int power_state_ = 0;           // 3 during the start-up test, 4 afterwards
};
