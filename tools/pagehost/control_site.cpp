#include "tools/pagehost/control_site.h"

#include <comcat.h>
#include <objsafe.h>
#include <olectl.h>
#include <shlguid.h>

#include <cwchar>

#include "tools/pagehost/host_object.h"

namespace {

// The <param> values of an <object>, offered as a browser offers them.
class CParamBag : public IPropertyBag {
 public:
  explicit CParamBag(const std::vector<std::pair<std::wstring, std::wstring>>& params)
      : params_(params) {}
  virtual ~CParamBag() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IPropertyBag) return E_NOINTERFACE;
    *out = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = ::InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (!name || !value) return E_POINTER;
    for (const auto& [key, text] : params_) {
      if (::lstrcmpiW(key.c_str(), name) != 0) continue;
      VARIANT v;
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (!V_BSTR(&v)) return E_OUTOFMEMORY;
      VARTYPE wanted = V_VT(value);
      HRESULT hr = S_OK;
      if (wanted == VT_EMPTY || wanted == VT_BSTR) {
        ::VariantClear(value);
        *value = v;
        return S_OK;
      }
      hr = ::VariantChangeType(value, &v, 0, wanted);
      ::VariantClear(&v);
      return FAILED(hr) ? E_FAIL : S_OK;
    }
    return E_INVALIDARG;
  }
  STDMETHODIMP Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  LONG refs_ = 1;
  const std::vector<std::pair<std::wstring, std::wstring>>& params_;
};

bool InCategory(const CLSID& clsid, const CATID& category) {
  zu::ComPtr<ICatInformation> info;
  if (FAILED(::CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICatInformation, info.put_void())))
    return false;
  CATID wanted = category;
  return info->IsClassOfCategories(clsid, 1, &wanted, static_cast<ULONG>(-1), nullptr) == S_OK;
}

// Asks the object to be safe for one use, as a browser does before it
// scripts or initialises it.
bool MadeSafe(IObjectSafety* safety, REFIID iid, DWORD option) {
  DWORD supported = 0, enabled = 0;
  if (FAILED(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled))) return false;
  if (!(supported & option)) return false;
  return SUCCEEDED(safety->SetInterfaceSafetyOptions(iid, option, option));
}

}  // namespace

std::wstring HresultText(HRESULT hr) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

CControlSite::CControlSite(HWND window, IUnknown* browser, IUnknown* document)
    : window_(window) {
  if (browser) {
    browser->AddRef();
    browser_ = zu::ComPtr<IUnknown>::Attach(browser);
  }
  if (document) {
    document->AddRef();
    document_ = zu::ComPtr<IUnknown>::Attach(document);
  }
}

bool CControlSite::CheckSafety(const ControlRequest& request, IUnknown* object,
                               std::wstring* error) {
  const bool data = !request.params.empty();
  std::wstring why;
  zu::ComPtr<IObjectSafety> safety;
  if (SUCCEEDED(object->QueryInterface(IID_IObjectSafety, safety.put_void())) && safety) {
    if (!MadeSafe(safety.get(), IID_IDispatch, INTERFACESAFE_FOR_UNTRUSTED_CALLER))
      why = L"refuses to be safe for scripting (IObjectSafety)";
    else if (data && !MadeSafe(safety.get(), IID_IPersistPropertyBag,
                               INTERFACESAFE_FOR_UNTRUSTED_DATA))
      why = L"refuses to be safe for initialisation (IObjectSafety)";
  } else if (!InCategory(request.class_id, CATID_SafeForScripting)) {
    why = L"is not marked safe for scripting";
  } else if (data && !InCategory(request.class_id, CATID_SafeForInitializing)) {
    why = L"is not marked safe for initialisation";
  }
  if (why.empty()) return true;
  if (request.allow_unsafe) {
    PrintError(L"warning: " + request.name + L" " + why);
    return true;
  }
  *error = request.name + L" " + why;
  return false;
}

bool CControlSite::Initialise(const ControlRequest& request, std::wstring* error) {
  if (!request.params.empty()) {
    zu::ComPtr<IPersistPropertyBag> bag_init;
    if (FAILED(object_->QueryInterface(IID_IPersistPropertyBag, bag_init.put_void())) ||
        !bag_init) {
      *error = request.name + L" has <param> tags but no IPersistPropertyBag";
      return false;
    }
    IPropertyBag* bag = new CParamBag(request.params);
    HRESULT hr = bag_init->Load(bag, nullptr);
    bag->Release();
    if (FAILED(hr)) {
      *error = request.name + L" refused its <param> values: " + HresultText(hr);
      return false;
    }
    return true;
  }
  zu::ComPtr<IPersistStreamInit> stream_init;
  if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, stream_init.put_void())) &&
      stream_init) {
    HRESULT hr = stream_init->InitNew();
    if (FAILED(hr)) {
      *error = request.name + L" failed IPersistStreamInit::InitNew: " + HresultText(hr);
      return false;
    }
  }
  return true;
}

bool CControlSite::Create(const ControlRequest& request, std::wstring* error) {
  Close();
  HRESULT hr = ::CoCreateInstance(request.class_id, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  object_.put_void());
  if (FAILED(hr) || !object_) {
    *error = L"cannot create " + request.name + L": " + HresultText(hr);
    object_.reset();
    return false;
  }
  bool ok = CheckSafety(request, object_.get(), error);
  if (ok) {
    object_->QueryInterface(IID_IOleObject, ole_.put_void());
    DWORD misc = 0;
    if (ole_) ole_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool site_first = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (ole_ && site_first) ole_->SetClientSite(this);
    ok = Initialise(request, error);
    if (ok && ole_ && !site_first) ole_->SetClientSite(this);
    if (ok && ole_) {
      RECT pos = {0, 0, 1, 1};
      hr = ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, window_, &pos);
      if (FAILED(hr)) {
        *error = L"cannot activate " + request.name + L": " + HresultText(hr);
        ok = false;
      }
    }
  }
  if (ok && (FAILED(object_->QueryInterface(IID_IDispatch, dispatch_.put_void())) || !dispatch_)) {
    *error = request.name + L" has no IDispatch to script";
    ok = false;
  }
  if (!ok) Close();
  return ok;
}

void CControlSite::Close() {
  dispatch_.reset();
  if (ole_) {
    ole_->Close(OLECLOSE_NOSAVE);
    ole_->SetClientSite(nullptr);
    ole_.reset();
  }
  object_.reset();
}

STDMETHODIMP CControlSite::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite)
    *out = static_cast<IOleClientSite*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
    *out = static_cast<IOleInPlaceSite*>(this);
  else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
    *out = static_cast<IOleInPlaceFrame*>(this);
  else if (iid == IID_IOleControlSite)
    *out = static_cast<IOleControlSite*>(this);
  else if (iid == IID_IServiceProvider)
    *out = static_cast<IServiceProvider*>(this);
  else if (iid == IID_IDispatch)
    *out = static_cast<IDispatch*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CControlSite::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CControlSite::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CControlSite::GetMoniker(DWORD, DWORD, IMoniker** mk) {
  if (mk) *mk = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CControlSite::GetContainer(IOleContainer** container) {
  if (!container) return E_POINTER;
  *container = nullptr;
  if (!document_) return E_NOINTERFACE;
  return document_->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
}

STDMETHODIMP CControlSite::GetWindow(HWND* hwnd) {
  if (!hwnd) return E_POINTER;
  *hwnd = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP CControlSite::OnInPlaceActivate() {
  in_place_ = true;
  return S_OK;
}

STDMETHODIMP CControlSite::OnInPlaceDeactivate() {
  in_place_ = false;
  return S_OK;
}

STDMETHODIMP CControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                            LPRECT pos, LPRECT clip,
                                            LPOLEINPLACEFRAMEINFO info) {
  if (!frame || !doc || !pos || !clip) return E_POINTER;
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  *doc = nullptr;
  ::SetRect(pos, 0, 0, 1, 1);
  ::SetRect(clip, 0, 0, 1, 1);
  if (info) {
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
  }
  return S_OK;
}

STDMETHODIMP CControlSite::GetExtendedControl(IDispatch** disp) {
  if (disp) *disp = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP CControlSite::QueryService(REFGUID service, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (service == SID_SWebBrowserApp && browser_) return browser_->QueryInterface(iid, out);
  return E_NOINTERFACE;
}

STDMETHODIMP CControlSite::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP CControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP CControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*,
                                  VARIANT* result, EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  ::VariantInit(result);
  switch (id) {
    case DISPID_AMBIENT_USERMODE:
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = VARIANT_TRUE;
      return S_OK;
    case DISPID_AMBIENT_UIDEAD:
    case DISPID_AMBIENT_SHOWHATCHING:
    case DISPID_AMBIENT_SHOWGRABHANDLES:
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = VARIANT_FALSE;
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
