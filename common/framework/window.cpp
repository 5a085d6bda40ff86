#include "common/framework/window.h"

namespace zu {
namespace {
HINSTANCE g_resource_module = nullptr;
}

HINSTANCE ResourceModule() {
  return g_resource_module ? g_resource_module : ::GetModuleHandleW(nullptr);
}
void SetResourceModule(HINSTANCE module) { g_resource_module = module; }

void BringToFront(HWND wnd) {
  HWND fg = ::GetForegroundWindow();
  DWORD fg_thread = fg ? ::GetWindowThreadProcessId(fg, nullptr) : 0;
  DWORD me = ::GetCurrentThreadId();
  bool attached = fg_thread && fg_thread != me && ::AttachThreadInput(me, fg_thread, TRUE);
  ::SetForegroundWindow(wnd);
  if (attached) ::AttachThreadInput(me, fg_thread, FALSE);
}

std::wstring LoadResString(UINT id, const wchar_t* fallback) {
  const wchar_t* text = nullptr;
  // With a zero length, LoadString hands out a read-only pointer to the
  // resource itself, so no length limit applies.
  int n = ::LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (n <= 0 || !text) return fallback ? fallback : L"";
  return std::wstring(text, n);
}

Window::~Window() { Destroy(); }

bool Window::Create(const wchar_t* class_name, const wchar_t* title, DWORD style,
                    DWORD ex_style, HWND parent, UINT class_style) {
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(inst, class_name, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = class_style;
    wc.lpfnWndProc = &Window::Proc;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = class_name;
    if (!::RegisterClassExW(&wc)) return false;
  }
  HWND h = ::CreateWindowExW(ex_style, class_name, title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr, inst, this);
  return h != nullptr;
}

void Window::Destroy() {
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

LRESULT Window::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT r = self->OnMessage(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    self->OnFinalDestroy();
  }
  return r;
}

INT_PTR Dialog::DoModal(HWND parent, HINSTANCE module) {
  return ::DialogBoxParamW(module ? module : ResourceModule(), MAKEINTRESOURCEW(template_id_),
                           parent, &Dialog::Proc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::OnCommand(WORD id, WORD, HWND) {
  if (id == IDOK || id == IDCANCEL) {
    End(id);
    return true;
  }
  return false;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

namespace {
// Messages whose answer is the dialog procedure's return value itself, not
// DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg) {
  switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
      return true;
  }
  return false;
}
}  // namespace

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Dialog* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<Dialog*>(lp);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lp);
    return self->OnInitDialog();
  }
  self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;
  if (msg == WM_COMMAND) return self->OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
  INT_PTR result = 0;
  if (self->OnMessage(msg, wp, lp, &result)) {
    if (AnswersDirectly(msg)) return result;
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
  }
  if (msg == WM_NCDESTROY) self->hwnd_ = nullptr;
  return FALSE;
}

}  // namespace zu
