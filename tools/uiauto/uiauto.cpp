#include "tools/uiauto/uiauto.h"

#include <objbase.h>  // GDI+ needs the COM types WIN32_LEAN_AND_MEAN leaves out

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>

#include "tools/uiauto/labels.h"

namespace zu::ui {
namespace {

constexpr DWORD kPollMs = 50;
// How long one message to another window may take; a hung window
// (SMTO_ABORTIFHUNG) answers at once.
constexpr UINT kSendTimeoutMs = 1000;
// How long a click may take to show in a check box.
constexpr DWORD kClickEffectMs = 2000;

class Deadline {
 public:
  explicit Deadline(DWORD ms) : start_(::GetTickCount()), ms_(ms) {}
  bool Passed() const { return ::GetTickCount() - start_ >= ms_; }

 private:
  DWORD start_, ms_;
};

bool Send(HWND wnd, UINT msg, WPARAM wp, LPARAM lp, DWORD_PTR* result) {
  return ::SendMessageTimeoutW(wnd, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs,
                               result) != 0;
}

std::wstring ClassOf(HWND wnd) {
  wchar_t cls[256] = L"";
  ::GetClassNameW(wnd, cls, 256);
  return cls;
}

// The check state of a check box or radio button, -1 for anything else.
int CheckOf(HWND wnd, const std::wstring& cls) {
  if (::lstrcmpiW(cls.c_str(), L"Button") != 0) return -1;
  switch (::GetWindowLongW(wnd, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
      break;
    default:
      return -1;
  }
  DWORD_PTR state = 0;
  if (!Send(wnd, BM_GETCHECK, 0, 0, &state)) return -1;
  return static_cast<int>(state);
}

ControlInfo Describe(HWND wnd) {
  ControlInfo c;
  c.hwnd = wnd;
  c.id = ::GetDlgCtrlID(wnd);
  c.class_name = ClassOf(wnd);
  c.text = ReadWindowText(wnd);
  c.visible = ::IsWindowVisible(wnd) != FALSE;
  c.enabled = ::IsWindowEnabled(wnd) != FALSE;
  c.check = CheckOf(wnd, c.class_name);
  ::GetWindowRect(wnd, &c.rect);
  return c;
}

BOOL CALLBACK CollectWindow(HWND wnd, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
  return TRUE;
}

// Dialog ids are 16 bits on the wire (WM_COMMAND); a template's -1 is
// 0xFFFF in one format and 0xFFFFFFFF in the other.
bool SameId(int a, int b) { return (a & 0xFFFF) == (b & 0xFFFF); }

// Whether a person could click the control: shown, and neither it nor a
// window above it disabled (a dialog under a modal box is disabled).
bool Clickable(HWND top, const ControlInfo& c) {
  if (!c.visible) return false;
  for (HWND w = c.hwnd; w; w = ::GetParent(w)) {
    if (!::IsWindowEnabled(w)) return false;
    if (w == top) break;
  }
  return true;
}

bool IsButton(const ControlInfo& c) { return ::lstrcmpiW(c.class_name.c_str(), L"Button") == 0; }

bool Click(HWND top, const ControlInfo& c) {
  return IsButton(c) && Clickable(top, c) && ::PostMessageW(c.hwnd, BM_CLICK, 0, 0);
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
  std::vector<HWND> all;
  ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&all));
  if (pid == 0) return all;
  std::vector<HWND> mine;
  for (HWND w : all) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == pid) mine.push_back(w);
  }
  return mine;
}

WindowInfo DescribeWindow(HWND wnd) {
  WindowInfo info;
  info.hwnd = wnd;
  ::GetWindowThreadProcessId(wnd, &info.pid);
  info.class_name = ClassOf(wnd);
  info.caption = ReadWindowText(wnd);
  info.visible = ::IsWindowVisible(wnd) != FALSE;
  return info;
}

std::wstring ReadWindowText(HWND wnd) {
  // WM_GETTEXT rather than GetWindowText: a tool tip (Wine's balloon)
  // answers its text only to the message.
  DWORD_PTR len = 0;
  if (!Send(wnd, WM_GETTEXTLENGTH, 0, 0, &len) || len == 0) return {};
  len = std::min<DWORD_PTR>(len, 1 << 20);
  std::wstring text(len + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!Send(wnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied))
    return {};
  text.resize(std::min<DWORD_PTR>(copied, len));
  return text;
}

HWND WaitForWindow(const std::wstring& caption, const std::wstring& class_name, DWORD timeout_ms,
                   DWORD pid) {
  if (caption.empty() && class_name.empty()) return nullptr;
  const Deadline deadline(timeout_ms);
  for (;;) {
    for (HWND w : TopLevelWindows(pid)) {
      // The class costs no message; the caption may.
      if (!class_name.empty() && ::lstrcmpiW(ClassOf(w).c_str(), class_name.c_str()) != 0)
        continue;
      if (!caption.empty() && ReadWindowText(w) != caption) continue;
      return w;
    }
    if (deadline.Passed()) return nullptr;
    ::Sleep(kPollMs);
  }
}

std::wstring VisibleBalloonText() {
  for (HWND w : TopLevelWindows()) {
    if (ClassOf(w) != L"tooltips_class32" || !::IsWindowVisible(w)) continue;
    std::wstring text = ReadWindowText(w);
    if (!text.empty()) return text;
  }
  return {};
}

int TrayIconCount() {
  HWND tray = ::FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (!tray || !::IsWindowVisible(tray)) return 0;
  int icons = 0;
  for (HWND c = ::GetWindow(tray, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (::IsWindowVisible(c)) ++icons;
  return icons;
}

bool WaitForWindowGone(HWND wnd, DWORD timeout_ms) {
  const Deadline deadline(timeout_ms);
  while (::IsWindow(wnd)) {
    if (deadline.Passed()) return false;
    ::Sleep(kPollMs);
  }
  return true;
}

std::vector<ControlInfo> ReadControls(HWND top) {
  std::vector<HWND> children;
  if (top) ::EnumChildWindows(top, &CollectWindow, reinterpret_cast<LPARAM>(&children));
  std::vector<ControlInfo> controls;
  controls.reserve(children.size());
  for (HWND w : children) controls.push_back(Describe(w));
  return controls;
}

std::optional<ControlInfo> FindControl(HWND top, int id) {
  for (const auto& c : ReadControls(top)) {
    if (SameId(c.id, id)) return c;
  }
  return std::nullopt;
}

std::optional<ControlInfo> FindControl(HWND top, const std::wstring& text) {
  std::optional<ControlInfo> hidden;
  for (const auto& c : ReadControls(top)) {
    if (!SameLabel(c.text, text)) continue;
    if (c.visible) return c;
    if (!hidden) hidden = c;
  }
  return hidden;
}

std::optional<ControlInfo> WaitForControl(HWND top, int id, DWORD timeout_ms) {
  const Deadline deadline(timeout_ms);
  for (;;) {
    auto c = FindControl(top, id);
    if (c && Clickable(top, *c)) return c;
    if (deadline.Passed() || !::IsWindow(top)) return std::nullopt;
    ::Sleep(kPollMs);
  }
}

std::optional<ControlInfo> WaitForControl(HWND top, const std::wstring& text, DWORD timeout_ms) {
  const Deadline deadline(timeout_ms);
  for (;;) {
    for (const auto& c : ReadControls(top)) {
      if (SameLabel(c.text, text) && Clickable(top, c)) return c;
    }
    if (deadline.Passed() || !::IsWindow(top)) return std::nullopt;
    ::Sleep(kPollMs);
  }
}

bool PressButton(HWND top, int id) {
  auto c = FindControl(top, id);
  return c && Click(top, *c);
}

bool PressButton(HWND top, const std::wstring& text) {
  // Only a button a person can see and use counts, whatever else has
  // the same text.
  for (const auto& c : ReadControls(top)) {
    if (IsButton(c) && SameLabel(c.text, text) && Clickable(top, c)) return Click(top, c);
  }
  return false;
}

bool SetCheck(HWND top, int id, bool checked) {
  auto c = FindControl(top, id);
  if (!c || c->check < 0) return false;
  const int want = checked ? BST_CHECKED : BST_UNCHECKED;
  int state = c->check;
  // A three-state box needs up to two clicks to reach either state.
  for (int clicks = 0; state != want; ++clicks) {
    if (clicks == 3 || !Click(top, *c)) return false;
    const Deadline deadline(kClickEffectMs);
    const int before = state;
    while ((state = CheckOf(c->hwnd, c->class_name)) == before) {
      if (deadline.Passed()) return false;  // the program did not let it change
      ::Sleep(kPollMs / 5);
    }
    if (state < 0) return false;  // gone, or no longer answering
  }
  return true;
}

std::wstring ReadMessageBoxText(HWND box) {
  // The message is the static with id 0xFFFF; fall back to the first
  // static with text for boxes built differently.
  std::optional<std::wstring> first;
  for (const auto& c : ReadControls(box)) {
    if (::lstrcmpiW(c.class_name.c_str(), L"Static") != 0) continue;
    if (SameId(c.id, 0xFFFF)) return c.text;
    if (!first && !c.text.empty()) first = c.text;
  }
  return first.value_or(std::wstring());
}

HWND WaitForMessageBox(const std::wstring& caption, DWORD timeout_ms, DWORD pid) {
  if (caption.empty()) return nullptr;
  const Deadline deadline(timeout_ms);
  for (;;) {
    for (HWND w : TopLevelWindows(pid)) {
      if (::IsWindowVisible(w) && ClassOf(w) == L"#32770" && ReadWindowText(w) == caption)
        return w;
    }
    if (deadline.Passed()) return nullptr;
    ::Sleep(kPollMs);
  }
}

bool CloseMessageBox(const std::wstring& caption, const std::wstring& button_text,
                     DWORD timeout_ms, std::wstring* text_out) {
  HWND box = WaitForMessageBox(caption, timeout_ms);
  if (!box) return false;
  if (text_out) *text_out = ReadMessageBoxText(box);
  return PressButton(box, button_text) && WaitForWindowGone(box, timeout_ms);
}

namespace {

class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusSession() {
    if (ok_) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  bool ok() const { return ok_; }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

bool PngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::unique_ptr<BYTE[]> buf(new BYTE[bytes]);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.get());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && std::wstring(codecs[i].MimeType) == L"image/png") {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

struct ScreenDc {
  HDC dc = ::GetDC(nullptr);
  ~ScreenDc() {
    if (dc) ::ReleaseDC(nullptr, dc);
  }
};
struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC like) : dc(::CreateCompatibleDC(like)) {}
  ~MemoryDc() {
    if (dc) ::DeleteDC(dc);
  }
};
struct GdiObject {
  HGDIOBJ obj;
  ~GdiObject() {
    if (obj) ::DeleteObject(obj);
  }
};

}  // namespace

bool SaveScreenshot(const std::wstring& png_path) {
  const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  if (w <= 0 || h <= 0) return false;
  GdiplusSession gdiplus;
  CLSID png;
  if (!gdiplus.ok() || !PngEncoder(&png)) return false;

  // 24 bits a pixel, top-down: no alpha channel for the encoder to
  // take from BitBlt's unset fourth byte.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  ScreenDc screen;
  MemoryDc mem(screen.dc);
  if (!screen.dc || !mem.dc) return false;
  void* bits = nullptr;
  GdiObject dib{::CreateDIBSection(screen.dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0)};
  if (!dib.obj || !bits) return false;
  HGDIOBJ old = ::SelectObject(mem.dc, dib.obj);
  const bool copied = ::BitBlt(mem.dc, 0, 0, w, h, screen.dc, 0, 0, SRCCOPY | CAPTUREBLT) != 0;
  ::SelectObject(mem.dc, old);
  if (!copied) return false;
  ::GdiFlush();

  const INT stride = (w * 3 + 3) & ~3;
  Gdiplus::Bitmap picture(w, h, stride, PixelFormat24bppRGB, static_cast<BYTE*>(bits));
  return picture.GetLastStatus() == Gdiplus::Ok &&
         picture.Save(png_path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

}  // namespace zu::ui
