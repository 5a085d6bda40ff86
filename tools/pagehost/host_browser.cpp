#include "tools/pagehost/host_browser.h"

#include <utility>

CHostBrowser::CHostBrowser(std::wstring location_url) : location_url_(std::move(location_url)) {}

STDMETHODIMP CHostBrowser::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IWebBrowser ||
      iid == IID_IWebBrowserApp || iid == IID_IWebBrowser2)
    *out = static_cast<IWebBrowser2*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CHostBrowser::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CHostBrowser::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CHostBrowser::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP CHostBrowser::get_LocationURL(BSTR* url) {
  if (!url) return E_POINTER;
  *url = ::SysAllocStringLen(location_url_.data(), static_cast<UINT>(location_url_.size()));
  return *url ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CHostBrowser::get_LocationName(BSTR* name) { return get_LocationURL(name); }

STDMETHODIMP CHostBrowser::Refresh() {
  ++refresh_count_;
  return S_OK;
}

STDMETHODIMP CHostBrowser::Refresh2(VARIANT*) { return Refresh(); }

STDMETHODIMP CHostBrowser::get_Busy(VARIANT_BOOL* busy) {
  if (!busy) return E_POINTER;
  *busy = VARIANT_FALSE;
  return S_OK;
}

STDMETHODIMP CHostBrowser::get_ReadyState(READYSTATE* state) {
  if (!state) return E_POINTER;
  *state = READYSTATE_COMPLETE;
  return S_OK;
}
