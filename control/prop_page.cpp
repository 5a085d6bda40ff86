#include "control/prop_page.h"

#include <string>

#include "control/resource.h"
#include "control/zuac_module.h"

namespace {

// CoTaskMem copy for PROPPAGEINFO, which the caller frees.
LPOLESTR TaskMemString(const std::wstring& s) {
  auto* p = static_cast<LPOLESTR>(::CoTaskMemAlloc((s.size() + 1) * sizeof(wchar_t)));
  if (p) {
    s.copy(p, s.size());
    p[s.size()] = L'\0';
  }
  return p;
}

std::wstring ModuleString(UINT id) {
  const wchar_t* text = nullptr;
  int n = ::LoadStringW(CZUAXApp::Instance().module(), id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 && text ? std::wstring(text, n) : std::wstring();
}

}  // namespace

CZUAXPropPage::CZUAXPropPage() { CZUAXApp::Instance().ObjectCreated(); }

CZUAXPropPage::~CZUAXPropPage() {
  if (dialog_) ::DestroyWindow(dialog_);
  CZUAXApp::Instance().ObjectDestroyed();
}

STDMETHODIMP CZUAXPropPage::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPropertyPage) {
    *out = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CZUAXPropPage::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CZUAXPropPage::Release() {
  LONG n = ::InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP CZUAXPropPage::SetPageSite(IPropertyPageSite* site) {
  zu::ComPtr<IPropertyPageSite> held;
  if (site) {
    site->AddRef();
    held = zu::ComPtr<IPropertyPageSite>::Attach(site);
  }
  site_ = std::move(held);
  return S_OK;
}

INT_PTR CALLBACK CZUAXPropPage::DialogProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

STDMETHODIMP CZUAXPropPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (dialog_) return E_UNEXPECTED;
  dialog_ = ::CreateDialogParamW(CZUAXApp::Instance().module(),
                                 MAKEINTRESOURCEW(IDD_PROPPAGE_ZUAX), parent, &DialogProc, 0);
  if (!dialog_) return E_OUTOFMEMORY;
  if (rect) Move(rect);
  return S_OK;
}

STDMETHODIMP CZUAXPropPage::Deactivate() {
  if (dialog_) ::DestroyWindow(dialog_);
  dialog_ = nullptr;
  return S_OK;
}

STDMETHODIMP CZUAXPropPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  // The page's size is its dialog's, measured on a hidden copy.
  SIZE size = {0, 0};
  HWND probe = ::CreateDialogParamW(CZUAXApp::Instance().module(),
                                    MAKEINTRESOURCEW(IDD_PROPPAGE_ZUAX), ::GetDesktopWindow(),
                                    &DialogProc, 0);
  if (probe) {
    RECT r;
    ::GetWindowRect(probe, &r);
    size.cx = r.right - r.left;
    size.cy = r.bottom - r.top;
    ::DestroyWindow(probe);
  }
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = TaskMemString(ModuleString(IDS_ZUAX_PPG_CAPTION));
  info->size = size;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

// Nothing is exchanged with the control, so the objects are not kept.
STDMETHODIMP CZUAXPropPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count && !objects) return E_POINTER;
  return S_OK;
}

STDMETHODIMP CZUAXPropPage::Show(UINT cmd) {
  if (!dialog_) return E_UNEXPECTED;
  ::ShowWindow(dialog_, cmd);
  return S_OK;
}

STDMETHODIMP CZUAXPropPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!dialog_) return E_UNEXPECTED;
  ::MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
  return S_OK;
}

STDMETHODIMP CZUAXPropPage::IsPageDirty() { return S_FALSE; }
STDMETHODIMP CZUAXPropPage::Apply() { return S_OK; }
STDMETHODIMP CZUAXPropPage::Help(LPCOLESTR) { return E_NOTIMPL; }

STDMETHODIMP CZUAXPropPage::TranslateAccelerator(MSG* msg) {
  if (!msg || !dialog_) return S_FALSE;
  return ::IsDialogMessageW(dialog_, msg) ? S_OK : S_FALSE;
}
