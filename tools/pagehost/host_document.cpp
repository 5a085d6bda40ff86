#include "tools/pagehost/host_document.h"

#include <utility>

CHostDocument::CHostDocument(std::optional<std::wstring> url) : url_(std::move(url)) {}

STDMETHODIMP CHostDocument::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IParseDisplayName || iid == IID_IOleContainer)
    *out = static_cast<IOleContainer*>(this);
  else if (iid == IID_IDispatch || iid == IID_IHTMLDocument || iid == IID_IHTMLDocument2)
    *out = static_cast<IHTMLDocument2*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CHostDocument::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CHostDocument::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CHostDocument::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP CHostDocument::get_URL(BSTR* url) {
  if (!url) return E_POINTER;
  *url = nullptr;
  if (!url_) return E_FAIL;
  *url = ::SysAllocStringLen(url_->data(), static_cast<UINT>(url_->size()));
  return *url ? S_OK : E_OUTOFMEMORY;
}
