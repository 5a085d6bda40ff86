#include "control/ole_control.h"

#include <olectl.h>

#include <new>

#include "control/zuac_module.h"

namespace {

constexpr wchar_t kWindowClass[] = L"ZUAX Control Window";

// The in-place window has nothing to show: it validates what it is asked
// to paint and leaves the rest to DefWindowProc.
LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      ::BeginPaint(hwnd, &ps);
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

// Registered under this module's instance, so that another copy of the
// library loaded at another address registers its own class.
bool EnsureWindowClass(HINSTANCE inst) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (::GetClassInfoExW(inst, kWindowClass, &wc)) return true;
  wc = WNDCLASSEXW{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &ControlWindowProc;
  wc.hInstance = inst;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kWindowClass;
  return ::RegisterClassExW(&wc) != 0;
}

}  // namespace

// The event interface has no events; the point keeps its sinks so that a
// container can advise and unadvise as it does with any control.
class COleControlBase::CEventPoint : public IConnectionPoint {
 public:
  CEventPoint(COleControlBase* owner, REFIID iid) : owner_(owner), iid_(iid) {}
  virtual ~CEventPoint() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Lives as long as the control does.
  STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

  STDMETHODIMP GetConnectionInterface(IID* iid) override {
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
  }
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** cpc) override {
    if (!cpc) return E_POINTER;
    *cpc = static_cast<IConnectionPointContainer*>(owner_);
    (*cpc)->AddRef();
    return S_OK;
  }
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    zu::ComPtr<IUnknown> held;
    if (FAILED(sink->QueryInterface(iid_, held.put_void())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, held.put_void())))
      return CONNECT_E_CANNOTCONNECT;
    sinks_.push_back(std::move(held));
    *cookie = static_cast<DWORD>(sinks_.size());
    return S_OK;
  }
  STDMETHODIMP Unadvise(DWORD cookie) override {
    if (cookie == 0 || cookie > sinks_.size() || !sinks_[cookie - 1]) return CONNECT_E_NOCONNECTION;
    sinks_[cookie - 1].reset();
    return S_OK;
  }
  STDMETHODIMP EnumConnections(IEnumConnections** e) override {
    if (!e) return E_POINTER;
    *e = nullptr;
    return E_NOTIMPL;
  }

  void DropSinks() { sinks_.clear(); }

 private:
  COleControlBase* owner_;
  IID iid_;
  std::vector<zu::ComPtr<IUnknown>> sinks_;
};

COleControlBase::COleControlBase(const OleControlInfo& info) : info_(info) {}

COleControlBase::~COleControlBase() {
  DestroyWindowOnly();
  delete event_point_;
}

// --- IUnknown ------------------------------------------------------------------

STDMETHODIMP COleControlBase::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleObject)
    *out = static_cast<IOleObject*>(this);
  else if (iid == IID_IOleControl)
    *out = static_cast<IOleControl*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
    *out = static_cast<IOleInPlaceObject*>(this);
  else if (iid == IID_IViewObject || iid == IID_IViewObject2)
    *out = static_cast<IViewObject2*>(this);
  else if (iid == IID_IPersistStreamInit)
    *out = static_cast<IPersistStreamInit*>(this);
  else if (iid == IID_IPersist)
    *out = static_cast<IPersist*>(static_cast<IPersistStreamInit*>(this));
  else if (iid == IID_IPersistPropertyBag)
    *out = static_cast<IPersistPropertyBag*>(this);
  else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
    *out = static_cast<IProvideClassInfo2*>(this);
  else if (iid == IID_ISpecifyPropertyPages)
    *out = static_cast<ISpecifyPropertyPages*>(this);
  else if (iid == IID_IConnectionPointContainer)
    *out = static_cast<IConnectionPointContainer*>(this);
  else
    return QueryExtraInterface(iid, out);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) COleControlBase::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) COleControlBase::Release() {
  LONG n = ::InterlockedDecrement(&refs_);
  if (n == 0) {
    // The sinks may hold references back to us; keep the count up while
    // they go.
    refs_ = 1;
    if (event_point_) event_point_->DropSinks();
    view_sink_.reset();
    advise_holder_.reset();
    inplace_site_.reset();
    client_site_.reset();
    delete this;
  }
  return static_cast<ULONG>(n);
}

// --- IOleObject ------------------------------------------------------------------

STDMETHODIMP COleControlBase::SetClientSite(IOleClientSite* site) {
  if (!site) {
    DestroyWindowOnly();
    inplace_site_.reset();
  }
  zu::ComPtr<IOleClientSite> held;
  if (site) {
    site->AddRef();
    held = zu::ComPtr<IOleClientSite>::Attach(site);
  }
  client_site_ = std::move(held);
  return S_OK;
}

STDMETHODIMP COleControlBase::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = client_site_.get();
  if (*site) (*site)->AddRef();
  return S_OK;
}

STDMETHODIMP COleControlBase::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP COleControlBase::Close(DWORD) {
  InPlaceDeactivate();
  if (advise_holder_) advise_holder_->SendOnClose();
  return S_OK;
}

STDMETHODIMP COleControlBase::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP COleControlBase::GetMoniker(DWORD, DWORD, IMoniker** mk) {
  if (mk) *mk = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP COleControlBase::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControlBase::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP COleControlBase::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT pos) {
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate(site ? site : client_site_.get(), parent, pos);
    case OLEIVERB_HIDE:
      if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
      return S_OK;
    case OLEIVERB_PROPERTIES: {
      IUnknown* self = static_cast<IOleObject*>(this);
      return ::OleCreatePropertyFrame(parent, 0, 0, L"", 1, &self, info_.prop_page_count,
                                      const_cast<CLSID*>(info_.prop_pages),
                                      ::GetUserDefaultLCID(), 0, nullptr);
    }
    default:
      return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
  }
}

STDMETHODIMP COleControlBase::EnumVerbs(IEnumOLEVERB** verbs) {
  return ::OleRegEnumVerbs(info_.clsid, verbs);
}

STDMETHODIMP COleControlBase::Update() { return S_OK; }
STDMETHODIMP COleControlBase::IsUpToDate() { return S_OK; }

STDMETHODIMP COleControlBase::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = info_.clsid;
  return S_OK;
}

STDMETHODIMP COleControlBase::GetUserType(DWORD form, LPOLESTR* type) {
  return ::OleRegGetUserType(info_.clsid, form, type);
}

STDMETHODIMP COleControlBase::SetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP COleControlBase::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP COleControlBase::Advise(IAdviseSink* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  if (!advise_holder_) {
    HRESULT hr = ::CreateOleAdviseHolder(advise_holder_.put());
    if (FAILED(hr)) return hr;
  }
  return advise_holder_->Advise(sink, cookie);
}

STDMETHODIMP COleControlBase::Unadvise(DWORD cookie) {
  return advise_holder_ ? advise_holder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP COleControlBase::EnumAdvise(IEnumSTATDATA** e) {
  if (!e) return E_POINTER;
  *e = nullptr;
  return advise_holder_ ? advise_holder_->EnumAdvise(e) : E_FAIL;
}

STDMETHODIMP COleControlBase::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (!status) return E_POINTER;
  *status = aspect == DVASPECT_CONTENT ? info_.misc_status : 0;
  return S_OK;
}

STDMETHODIMP COleControlBase::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleControl -------------------------------------------------------------------

STDMETHODIMP COleControlBase::GetControlInfo(CONTROLINFO* ci) {
  if (!ci) return E_POINTER;
  ci->hAccel = nullptr;  // no mnemonics
  ci->cAccel = 0;
  ci->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP COleControlBase::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP COleControlBase::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP COleControlBase::FreezeEvents(BOOL) { return S_OK; }

// --- IOleInPlaceObject ---------------------------------------------------------------

HRESULT COleControlBase::InPlaceActivate(IOleClientSite* site, HWND parent, LPCRECT pos) {
  if (inplace_active_) return pos ? SetObjectRects(pos, pos) : S_OK;
  if (!site) return E_UNEXPECTED;
  zu::ComPtr<IOleInPlaceSite> ip;
  if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, ip.put_void()))) return E_NOINTERFACE;
  if (ip->CanInPlaceActivate() != S_OK) return E_FAIL;
  HRESULT hr = ip->OnInPlaceActivate();
  if (FAILED(hr)) return hr;

  HWND parent_wnd = nullptr;
  if (FAILED(ip->GetWindow(&parent_wnd)) || !parent_wnd) parent_wnd = parent;
  RECT rect = {0, 0, 0, 0}, clip = {0, 0, 0, 0};
  zu::ComPtr<IOleInPlaceFrame> frame;
  zu::ComPtr<IOleInPlaceUIWindow> doc;
  OLEINPLACEFRAMEINFO frame_info = {};
  frame_info.cb = sizeof(frame_info);
  ip->GetWindowContext(frame.put(), doc.put(), &rect, &clip, &frame_info);
  if (pos) rect = *pos;

  HINSTANCE inst = CZUAXApp::Instance().module();
  if (parent_wnd && EnsureWindowClass(inst)) {
    hwnd_ = ::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                              rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                              parent_wnd, nullptr, inst, nullptr);
  }
  if (!hwnd_) {
    ip->OnInPlaceDeactivate();
    return E_FAIL;
  }
  inplace_site_ = std::move(ip);
  inplace_active_ = true;
  return S_OK;
}

void COleControlBase::DestroyWindowOnly() {
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

STDMETHODIMP COleControlBase::GetWindow(HWND* hwnd) {
  if (!hwnd) return E_POINTER;
  *hwnd = hwnd_;
  return hwnd_ ? S_OK : E_FAIL;
}

STDMETHODIMP COleControlBase::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControlBase::InPlaceDeactivate() {
  if (!inplace_active_) return S_OK;
  inplace_active_ = false;
  DestroyWindowOnly();
  if (inplace_site_) inplace_site_->OnInPlaceDeactivate();
  inplace_site_.reset();
  return S_OK;
}

STDMETHODIMP COleControlBase::UIDeactivate() { return S_OK; }

STDMETHODIMP COleControlBase::SetObjectRects(LPCRECT pos, LPCRECT) {
  if (!pos) return E_POINTER;
  if (hwnd_)
    ::MoveWindow(hwnd_, pos->left, pos->top, pos->right - pos->left, pos->bottom - pos->top,
                 TRUE);
  return S_OK;
}

STDMETHODIMP COleControlBase::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }

// --- IViewObject2 --------------------------------------------------------------------

STDMETHODIMP COleControlBase::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  return S_OK;  // nothing to draw
}

STDMETHODIMP COleControlBase::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                          LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return S_FALSE;
}

STDMETHODIMP COleControlBase::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze) *freeze = 0;
  return E_NOTIMPL;
}

STDMETHODIMP COleControlBase::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControlBase::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  zu::ComPtr<IAdviseSink> held;
  if (sink) {
    sink->AddRef();
    held = zu::ComPtr<IAdviseSink>::Attach(sink);
  }
  view_sink_ = std::move(held);
  view_aspects_ = aspects;
  view_flags_ = flags;
  return S_OK;
}

STDMETHODIMP COleControlBase::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = view_aspects_;
  if (flags) *flags = view_flags_;
  if (sink) {
    *sink = view_sink_.get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

STDMETHODIMP COleControlBase::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// --- Persistence: the version stamp only ----------------------------------------------

STDMETHODIMP COleControlBase::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = info_.clsid;
  return S_OK;
}

STDMETHODIMP COleControlBase::IsDirty() { return S_FALSE; }

STDMETHODIMP COleControlBase::Load(LPSTREAM stream) {
  if (!stream) return E_POINTER;
  DWORD version = 0;
  ULONG read = 0;
  HRESULT hr = stream->Read(&version, sizeof(version), &read);
  if (FAILED(hr)) return hr;
  // Any stamp is accepted: there is nothing else to read.
  return read == sizeof(version) ? S_OK : E_FAIL;
}

STDMETHODIMP COleControlBase::Save(LPSTREAM stream, BOOL) {
  if (!stream) return E_POINTER;
  DWORD version = info_.persist_version;
  ULONG written = 0;
  HRESULT hr = stream->Write(&version, sizeof(version), &written);
  if (FAILED(hr)) return hr;
  return written == sizeof(version) ? S_OK : STG_E_MEDIUMFULL;
}

STDMETHODIMP COleControlBase::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = sizeof(DWORD);
  return S_OK;
}

STDMETHODIMP COleControlBase::InitNew() { return S_OK; }

STDMETHODIMP COleControlBase::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  // A page's <object> tag rarely carries "_Version"; its absence is fine.
  VARIANT v;
  ::VariantInit(&v);
  V_VT(&v) = VT_I4;
  bag->Read(L"_Version", &v, log);
  ::VariantClear(&v);
  return S_OK;
}

STDMETHODIMP COleControlBase::Save(IPropertyBag* bag, BOOL, BOOL) {
  if (!bag) return E_POINTER;
  VARIANT v;
  ::VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = static_cast<LONG>(info_.persist_version);
  return bag->Write(L"_Version", &v);
}

// --- Class information and property pages ---------------------------------------------

STDMETHODIMP COleControlBase::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  return GetCoClassTypeInfo(info);
}

STDMETHODIMP COleControlBase::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = info_.source_iid;
  return S_OK;
}

STDMETHODIMP COleControlBase::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (info_.prop_page_count == 0) return S_OK;
  pages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(sizeof(GUID) * info_.prop_page_count));
  if (!pages->pElems) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < info_.prop_page_count; ++i) pages->pElems[i] = info_.prop_pages[i];
  pages->cElems = info_.prop_page_count;
  return S_OK;
}

// --- Connection points -----------------------------------------------------------------

STDMETHODIMP COleControlBase::EnumConnectionPoints(IEnumConnectionPoints** e) {
  if (!e) return E_POINTER;
  *e = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP COleControlBase::FindConnectionPoint(REFIID iid, IConnectionPoint** cp) {
  if (!cp) return E_POINTER;
  *cp = nullptr;
  if (iid != info_.source_iid) return CONNECT_E_NOCONNECTION;
  if (!event_point_) {
    event_point_ = new (std::nothrow) CEventPoint(this, info_.source_iid);
    if (!event_point_) return E_OUTOFMEMORY;
  }
  *cp = event_point_;
  (*cp)->AddRef();
  return S_OK;
}
