#include "tools/pagehost/script_host.h"

#include "tools/pagehost/control_site.h"
#include "tools/pagehost/host_object.h"

CScriptHost::CScriptHost(std::wstring source_name, HWND window)
    : source_name_(std::move(source_name)), window_(window) {}

bool CScriptHost::Start(std::wstring* error) {
  CLSID jscript;
  HRESULT hr = ::CLSIDFromProgID(L"JScript", &jscript);
  if (SUCCEEDED(hr))
    hr = ::CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                            engine_.put_void());
  if (SUCCEEDED(hr)) hr = engine_.As(&parse_, __uuidof(IActiveScriptParse32));
  if (SUCCEEDED(hr)) hr = engine_->SetScriptSite(this);
  if (SUCCEEDED(hr)) hr = parse_->InitNew();
  // Started before the first block, so each block runs as it is parsed.
  if (SUCCEEDED(hr)) hr = engine_->SetScriptState(SCRIPTSTATE_STARTED);
  if (FAILED(hr)) {
    *error = L"cannot start JScript: " + HresultText(hr);
    Close();
    return false;
  }
  return true;
}

bool CScriptHost::AddItem(const std::wstring& name, IUnknown* object, std::wstring* error) {
  if (!engine_ || !object) return false;
  object->AddRef();
  items_[name] = zu::ComPtr<IUnknown>::Attach(object);
  HRESULT hr = engine_->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE);
  if (FAILED(hr)) {
    items_.erase(name);
    *error = L"cannot name " + name + L" for the script: " + HresultText(hr);
    return false;
  }
  return true;
}

bool CScriptHost::Run(const std::wstring& text, unsigned line) {
  if (!parse_) return false;
  error_reported_ = false;
  EXCEPINFO exception = {};
  HRESULT hr = parse_->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0,
                                       line > 0 ? line - 1 : 0, SCRIPTTEXT_ISVISIBLE, nullptr,
                                       &exception);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  if (FAILED(hr) && !error_reported_)
    PrintError(source_name_ + L": script failed: " + HresultText(hr));
  return SUCCEEDED(hr) && !error_reported_;
}

void CScriptHost::Close() {
  if (engine_) {
    engine_->SetScriptState(SCRIPTSTATE_DISCONNECTED);
    engine_->Close();
  }
  parse_.reset();
  engine_.reset();
  items_.clear();
}

STDMETHODIMP CScriptHost::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IActiveScriptSite)
    *out = static_cast<IActiveScriptSite*>(this);
  else if (iid == IID_IActiveScriptSiteWindow)
    *out = static_cast<IActiveScriptSiteWindow*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CScriptHost::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CScriptHost::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CScriptHost::GetLCID(LCID* lcid) {
  if (!lcid) return E_POINTER;
  return E_NOTIMPL;  // the engine's own default
}

STDMETHODIMP CScriptHost::GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown,
                                      ITypeInfo** info) {
  if (unknown) *unknown = nullptr;
  if (info) *info = nullptr;
  if (!name) return E_INVALIDARG;
  auto it = items_.find(name);
  if (it == items_.end()) return TYPE_E_ELEMENTNOTFOUND;
  if (mask & SCRIPTINFO_ITYPEINFO) return TYPE_E_ELEMENTNOTFOUND;
  if (mask & SCRIPTINFO_IUNKNOWN) {
    if (!unknown) return E_POINTER;
    *unknown = it->second.get();
    (*unknown)->AddRef();
  }
  return S_OK;
}

STDMETHODIMP CScriptHost::GetDocVersionString(BSTR* version) {
  if (version) *version = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CScriptHost::OnScriptError(IActiveScriptError* error) {
  error_reported_ = true;
  if (!error) return S_OK;
  EXCEPINFO ei = {};
  error->GetExceptionInfo(&ei);
  if (ei.pfnDeferredFillIn) ei.pfnDeferredFillIn(&ei);
  DWORD context = 0;
  ULONG line = 0;
  LONG column = 0;
  bool has_position = SUCCEEDED(error->GetSourcePosition(&context, &line, &column));
  std::wstring text = source_name_;
  if (has_position) text += L"(" + std::to_wstring(line + 1) + L")";
  text += L": script error: ";
  text += ei.bstrDescription && *ei.bstrDescription ? ei.bstrDescription : L"(no description)";
  HRESULT code = ei.scode ? ei.scode : static_cast<HRESULT>(ei.wCode);
  if (code) text += L" (" + HresultText(code) + L")";
  PrintError(text);
  ::SysFreeString(ei.bstrSource);
  ::SysFreeString(ei.bstrDescription);
  ::SysFreeString(ei.bstrHelpFile);
  return S_OK;
}

STDMETHODIMP CScriptHost::GetWindow(HWND* hwnd) {
  if (!hwnd) return E_POINTER;
  *hwnd = window_;
  return S_OK;
}
