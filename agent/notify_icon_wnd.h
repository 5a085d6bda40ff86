#pragma once
// The agent's icon in the notification area: its tool tip, its balloons,
// its context menu, and what a click on either does.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "agent/pulse_generator.h"
#include "common/framework/handle.h"

// The agent side of the icon: the switches it follows and the actions its
// clicks and menu commands start. Implemented by the main window.
class INotifyIconOwner {
 public:
  virtual ~INotifyIconOwner() = default;
  // The process-wide switches ("SuppressBallonPopUp" 2 and 1).
  virtual bool IsAutoCheckOn() const = 0;
  virtual bool AreBalloonsSuppressed() const = 0;
  // Open-support-page; true when a page was opened from the stored address.
  virtual bool OpenSupportPage(bool automatic) = 0;
  // Open-options: shows the Options dialog or brings the open one forward.
  virtual void OpenOptions() = 0;
  // True while the Options dialog asks whether to switch automatic
  // checking off.
  virtual bool IsOptionsQuestionOpen() const = 0;
};

enum class BalloonKind : int { kRecommended = 0, kWelcome = 1, kImportant = 2 };

extern const wchar_t kIconHolderName[];  // "Icon Holder"
extern const wchar_t kIconMenuName[];    // "Icon Menu"
constexpr UINT kIconCallbackMessage = WM_APP + 0x16;  // 0x8016
constexpr UINT kIconId = 0;
constexpr UINT_PTR kIconRetryTimerId = 3;
constexpr UINT kIconRetryPeriodMs = 500;
constexpr UINT kBalloonTimeoutMs = 30000;
// The record size the shell is given (the XP SP2 layout).
constexpr DWORD kNotifyIconDataSize = 952;

// Owns the context menu and receives its commands.
class CNtifyIconMenu : public CWorkWnd {
 public:
  explicit CNtifyIconMenu(INotifyIconOwner& owner) : owner_(owner) {}
  ~CNtifyIconMenu() override { Destroy(); }

  void Create(HWND main_wnd) { CreateWorkWnd(main_wnd, kIconMenuName); }
  // Tracks the pop-up of menu IDR_TRAY_MENU at the cursor; the chosen
  // command comes back to this window as WM_COMMAND.
  void ShowMenu();

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void OnCommand(UINT id);
  INotifyIconOwner& owner_;
};

class CNtifyIconWnd : public CWorkWnd {
 public:
  explicit CNtifyIconWnd(INotifyIconOwner& owner);
  ~CNtifyIconWnd() override;

  // Creates "Icon Holder" and the menu window. Throws CWndException.
  void Create(HWND main_wnd);
  // Shows (adds) or removes the icon. When the add fails before the shell's
  // desktop is up, retries every 500 ms. Returns whether the shell took it.
  bool SetIcon(const std::wstring& tip, HICON icon, bool show);
  // Shows a balloon of the kind, adding the icon when it is not there.
  // With automatic checking off nothing happens; with balloons suppressed
  // only Important balloons are shown, but the kind is still recorded.
  void ShowBalloon(HICON icon, BalloonKind kind);
  // Makes the icon follow the automatic-checking switch.
  void Refresh();
  // Removes the icon, the menu window and this window.
  void Destroy();

  bool icon_added() const { return icon_added_; }
  BalloonKind last_balloon() const { return last_kind_; }
  bool retrying() const { return retry_timer_; }
  CNtifyIconMenu* menu() const { return menu_.get(); }

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void OnBalloonClick();
  void OnRetryTimer();
  void StopRetry();
  void RemoveIcon();
  // Fills what every shell call names: the record size, this window, icon
  // 0, the flags, the callback message and the icon. Other fields stay.
  void FillIconData(NOTIFYICONDATAW& d, UINT flags, HICON icon) const;

  INotifyIconOwner& owner_;
  bool icon_added_ = false;
  BalloonKind last_kind_ = BalloonKind::kRecommended;
  NOTIFYICONDATAW data_{};
  std::unique_ptr<CNtifyIconMenu> menu_;
  bool retry_timer_ = false;
  zu::UniqueIcon own_icon_;  // the one Refresh loads
};

// True when the shell's desktop list view exists: the desktop's "Progman"
// -> "SHELLDLL_DefView" -> "SysListView32" chain.
bool IsShellDesktopReady();

// Seams (common/framework/seam.h) of the icon window, real calls by default:
//   shell_ready: IsShellDesktopReady
//   shell_notify_icon: Shell_NotifyIconW
namespace zu::seams {
using ShellReadyFn = bool (*)();
using ShellNotifyIconFn = BOOL (*)(DWORD message, NOTIFYICONDATAW* data);
extern ShellReadyFn shell_ready;
extern ShellNotifyIconFn shell_notify_icon;
}  // namespace zu::seams

// Icon IDR_MAINFRAME at 16x16 from the resource module; the caller
// destroys it.
HICON LoadAgentIcon();
