#include "tests/ui_support.h"

#include <objbase.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <memory>

namespace lab::ui {
namespace {
struct Query {
  DWORD pid;
  std::vector<HWND> found;
};
BOOL CALLBACK Collect(HWND w, LPARAM lp) {
  auto* q = reinterpret_cast<Query*>(lp);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(w, &owner);
  if (q->pid == 0 || owner == q->pid) q->found.push_back(w);
  return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD pid) {
  Query q{pid, {}};
  ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

std::wstring ReadWindowText(HWND wnd) {
  wchar_t buf[1024] = L"";
  DWORD_PTR len = 0;
  // A hung window must not hang the test.
  ::SendMessageTimeoutW(wnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
                        2000, &len);
  return buf;
}

HWND WaitForWindow(const std::wstring& caption, const std::wstring& class_name, DWORD timeout_ms,
                   DWORD pid) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    for (HWND w : TopLevelWindows(pid)) {
      if (ReadWindowText(w) != caption) continue;
      wchar_t cls[256] = L"";
      ::GetClassNameW(w, cls, 256);
      if (class_name.empty() || class_name == cls) return w;
    }
    if (::GetTickCount() - start >= timeout_ms) return nullptr;
    ::Sleep(50);
  }
}

bool WaitForWindowGone(HWND wnd, DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  while (::IsWindow(wnd)) {
    if (::GetTickCount() - start >= timeout_ms) return false;
    ::Sleep(50);
  }
  return true;
}

bool PressButton(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  return button && ::PostMessageW(button, BM_CLICK, 0, 0);
}

namespace {
bool PngEncoder(CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::unique_ptr<BYTE[]> buf(new BYTE[bytes]);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.get());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(codecs[i].MimeType) == L"image/png") {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}
}  // namespace

bool SaveScreenshot(const std::wstring& png_path) {
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
  bool saved = false;
  {
    const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    CLSID png;
    if (PngEncoder(&png)) {
      Gdiplus::Bitmap picture(bmp, nullptr);
      saved = picture.Save(png_path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
  }
  Gdiplus::GdiplusShutdown(token);
  return saved;
}

}  // namespace lab::ui
