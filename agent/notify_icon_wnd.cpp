#include "agent/notify_icon_wnd.h"

#include <cwchar>

#include "agent/info/clock.h"
#include "agent/resource.h"

const wchar_t kIconHolderName[] = L"Icon Holder";
const wchar_t kIconMenuName[] = L"Icon Menu";

static_assert(NOTIFYICONDATAW_V3_SIZE == kNotifyIconDataSize);
static_assert(sizeof(NOTIFYICONDATAW) >= kNotifyIconDataSize);

namespace {

struct BalloonText {
  UINT title;
  UINT text;
  DWORD icon;
};

BalloonText TextOf(BalloonKind kind) {
  switch (kind) {
    case BalloonKind::kWelcome:
      return {IDS_WELCOME_TITLE, IDS_WELCOME_TEXT, NIIF_INFO};
    case BalloonKind::kImportant:
      return {IDS_IMPORTANT_TITLE, IDS_IMPORTANT_TEXT, NIIF_WARNING};
    case BalloonKind::kRecommended:
    default:
      return {IDS_RECOMMENDED_TITLE, IDS_RECOMMENDED_TEXT, NIIF_INFO};
  }
}

// Copies as much as fits, always terminated.
template <size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
  const size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::wmemcpy(field, text.data(), n);
  field[n] = L'\0';
}

BOOL RealNotify(DWORD message, NOTIFYICONDATAW* data) { return ::Shell_NotifyIconW(message, data); }

}  // namespace

zu::seams::ShellReadyFn zu::seams::shell_ready = IsShellDesktopReady;
zu::seams::ShellNotifyIconFn zu::seams::shell_notify_icon = RealNotify;

bool IsShellDesktopReady() {
  HWND progman = ::FindWindowExW(nullptr, nullptr, L"Progman", L"Program Manager");
  if (!progman) return false;
  HWND view = ::FindWindowExW(progman, nullptr, L"SHELLDLL_DefView", nullptr);
  if (!view) return false;
  return ::FindWindowExW(view, nullptr, L"SysListView32", nullptr) != nullptr;
}

HICON LoadAgentIcon() {
  return static_cast<HICON>(
      ::LoadImageW(zu::ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
}

// ---- menu ----

void CNtifyIconMenu::ShowMenu() {
  zu::UniqueMenu menu(::LoadMenuW(zu::ResourceModule(), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
  if (!menu || !IsWindow()) return;
  HMENU popup = ::GetSubMenu(menu.get(), 0);
  if (!popup) return;
  POINT pt{};
  ::GetCursorPos(&pt);
  // Foreground first, or the menu stays open when the user clicks elsewhere.
  ::SetForegroundWindow(hwnd());
  ::SetMenuDefaultItem(popup, ID_TRAY_SUPPORT, FALSE);
  ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd(), nullptr);
  // Lets the menu close properly when it was left without a choice. (A
  // shutdown handled inside the menu loop may have destroyed the window.)
  if (IsWindow()) ::PostMessageW(hwnd(), WM_NULL, 0, 0);
}

LRESULT CNtifyIconMenu::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COMMAND && HIWORD(wp) == 0 && lp == 0) {
    OnCommand(LOWORD(wp));
    return 0;
  }
  return CWorkWnd::OnMessage(msg, wp, lp);
}

void CNtifyIconMenu::OnCommand(UINT id) {
  switch (id) {
    case ID_TRAY_SUPPORT:
      owner_.OpenSupportPage(false);
      break;
    case ID_TRAY_OPTIONS:
      owner_.OpenOptions();
      break;
    case ID_TRAY_EXIT:
      // Ending now would leave the Options dialog's question unanswered:
      // bring the dialog forward instead.
      if (owner_.IsOptionsQuestionOpen()) {
        owner_.OpenOptions();
      } else if (main_wnd() && ::IsWindow(main_wnd())) {
        ::PostMessageW(main_wnd(), WM_CLOSE, 0, 0);
      }
      break;
  }
}

// ---- icon ----

CNtifyIconWnd::CNtifyIconWnd(INotifyIconOwner& owner) : owner_(owner) {}

CNtifyIconWnd::~CNtifyIconWnd() { Destroy(); }

void CNtifyIconWnd::Create(HWND main_wnd) {
  if (created()) return;
  CreateWorkWnd(main_wnd, kIconHolderName);
  data_ = NOTIFYICONDATAW{};
  menu_ = std::make_unique<CNtifyIconMenu>(owner_);
  menu_->Create(main_wnd);
}

void CNtifyIconWnd::FillIconData(NOTIFYICONDATAW& d, UINT flags, HICON icon) const {
  d.cbSize = kNotifyIconDataSize;
  d.hWnd = hwnd();
  d.uID = kIconId;
  d.uFlags = flags;
  d.uCallbackMessage = kIconCallbackMessage;
  d.hIcon = icon;
}

bool CNtifyIconWnd::SetIcon(const std::wstring& tip, HICON icon, bool show) {
  icon_added_ = show;
  if (!show) {
    StopRetry();
    NOTIFYICONDATAW d{};
    FillIconData(d, 0, nullptr);
    return zu::seams::shell_notify_icon(NIM_DELETE, &d) != FALSE;
  }
  data_ = NOTIFYICONDATAW{};
  FillIconData(data_, NIF_MESSAGE | NIF_ICON | NIF_TIP, icon);
  CopyField(data_.szTip, tip);
  if (zu::seams::shell_notify_icon(NIM_ADD, &data_)) return true;
  // Early at logon the task bar is not there yet: try again shortly.
  if (!zu::seams::shell_ready() && IsWindow() && !retry_timer_)
    retry_timer_ = ::SetTimer(hwnd(), kIconRetryTimerId, kIconRetryPeriodMs, nullptr) != 0;
  return false;
}

void CNtifyIconWnd::ShowBalloon(HICON icon, BalloonKind kind) {
  if (!owner_.IsAutoCheckOn()) return;
  last_kind_ = kind;
  const BalloonText t = TextOf(kind);
  // The tip of an earlier add stays in the record; the flags leave it out.
  FillIconData(data_, NIF_MESSAGE | NIF_ICON | NIF_INFO, icon);
  data_.uTimeout = kBalloonTimeoutMs;
  data_.dwInfoFlags = t.icon;
  CopyField(data_.szInfoTitle, zu::LoadResString(t.title));
  CopyField(data_.szInfo, zu::LoadResString(t.text));
  if (owner_.AreBalloonsSuppressed() && kind != BalloonKind::kImportant) return;
  if (icon_added_) {
    zu::seams::shell_notify_icon(NIM_MODIFY, &data_);
  } else if (zu::seams::shell_notify_icon(NIM_ADD, &data_)) {
    // Now it is there: later balloons modify it and Refresh can remove it.
    icon_added_ = true;
  }
}

void CNtifyIconWnd::Refresh() {
  HICON icon = LoadAgentIcon();
  const std::wstring tip = zu::LoadResString(IDS_APP_TITLE, L"ZEFO Update");
  const bool on = owner_.IsAutoCheckOn();
  if (on && !icon_added_) {
    SetIcon(tip, icon, true);
    own_icon_.reset(icon);  // the shell and a retry use it from now on
  } else {
    if (!on && icon_added_) SetIcon(tip, icon, false);
    if (icon) ::DestroyIcon(icon);
  }
}

void CNtifyIconWnd::Destroy() {
  StopRetry();
  RemoveIcon();
  menu_.reset();
  CWorkWnd::Destroy();
}

void CNtifyIconWnd::StopRetry() {
  if (retry_timer_ && IsWindow()) ::KillTimer(hwnd(), kIconRetryTimerId);
  retry_timer_ = false;
}

void CNtifyIconWnd::RemoveIcon() {
  if (!icon_added_ || !IsWindow()) return;
  NOTIFYICONDATAW d{};
  FillIconData(d, 0, nullptr);
  zu::seams::shell_notify_icon(NIM_DELETE, &d);
  icon_added_ = false;
}

void CNtifyIconWnd::OnRetryTimer() {
  if (zu::seams::shell_ready() && zu::seams::shell_notify_icon(NIM_ADD, &data_)) StopRetry();
}

void CNtifyIconWnd::OnBalloonClick() {
  switch (last_kind_) {
    case BalloonKind::kRecommended:
      owner_.OpenSupportPage(true);
      break;
    case BalloonKind::kWelcome:
      owner_.OpenOptions();
      break;
    case BalloonKind::kImportant:
      if (owner_.OpenSupportPage(true)) StampLastVisit();
      break;
  }
}

LRESULT CNtifyIconWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kIconRetryTimerId) {
        OnRetryTimer();
        return 0;
      }
      break;
    case WM_DESTROY:
      // Also when the main window goes first and takes this one along.
      StopRetry();
      RemoveIcon();
      break;
    case kIconCallbackMessage:
      if (wp != kIconId) break;
      switch (static_cast<UINT>(lp)) {
        case WM_LBUTTONDBLCLK:
          owner_.OpenSupportPage(false);
          return 0;
        case WM_RBUTTONUP:
          if (menu_) menu_->ShowMenu();
          return 0;
        case NIN_BALLOONUSERCLICK:
          OnBalloonClick();
          return 0;
        case NIN_BALLOONTIMEOUT:
          return 0;
      }
      break;
  }
  return CWorkWnd::OnMessage(msg, wp, lp);
}
