#pragma once
// Window and dialog base classes: the object owns its window, and messages
// reach the object's virtual handler. Kept deliberately small.
#include <windows.h>

#include <string>

namespace zu {

// The module that resources (strings, dialogs, menus, icons) come from:
// a resource library when one is loaded, else the executable itself.
HINSTANCE ResourceModule();
void SetResourceModule(HINSTANCE module);
std::wstring LoadResString(UINT id, const wchar_t* fallback = L"");

// Makes the window the foreground window, also when another thread's window
// has the input focus.
void BringToFront(HWND wnd);

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }
  bool IsWindow() const { return hwnd_ && ::IsWindow(hwnd_); }
  // Registers the class on first use (a plain class with this object's
  // procedure and the given class styles), then creates the window.
  bool Create(const wchar_t* class_name, const wchar_t* title, DWORD style,
              DWORD ex_style = 0, HWND parent = nullptr, UINT class_style = 0);
  void Destroy();

 protected:
  // Default handling is DefWindowProc.
  virtual LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
  // Called after WM_NCDESTROY; the handle is gone.
  virtual void OnFinalDestroy() {}

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

class Dialog {
 public:
  explicit Dialog(UINT template_id) : template_id_(template_id) {}
  virtual ~Dialog() = default;
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally from the given module (default: the current
  // resource module); returns the value passed to End, or -1 when the
  // dialog could not be created.
  INT_PTR DoModal(HWND parent = nullptr, HINSTANCE module = nullptr);
  HWND hwnd() const { return hwnd_; }
  void End(INT_PTR result) { ::EndDialog(hwnd_, result); }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // Default: IDOK and IDCANCEL end the dialog with their id.
  virtual bool OnCommand(WORD id, WORD code, HWND control);
  // Return true when handled; result goes to DWLP_MSGRESULT, or is the
  // procedure's answer for the messages that are answered so (WM_CTLCOLOR*
  // and the like).
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result);

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  UINT template_id_;
  HWND hwnd_ = nullptr;
};

}  // namespace zu
