#pragma once
// COleControlBase: what any container needs from an ActiveX control, so
// that the control class itself holds only its scripting surface. It is
// sited (IOleObject, IOleControl), in-place activated in a child window that
// paints nothing (IOleInPlaceObject, IViewObject2), persists nothing but a
// version stamp (IPersistStreamInit, IPersistPropertyBag), describes itself
// (IProvideClassInfo2, ISpecifyPropertyPages) and offers its (empty) event
// interface (IConnectionPointContainer). Apartment-threaded.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <vector>

#include "common/framework/com.h"

struct OleControlInfo {
  CLSID clsid;
  IID source_iid;           // event interface
  DWORD misc_status;        // OLEMISC_* for DVASPECT_CONTENT
  DWORD persist_version;    // the stamp written by both persistence forms
  const CLSID* prop_pages;  // listed by ISpecifyPropertyPages
  ULONG prop_page_count;
};

class COleControlBase : public IOleObject,
                        public IOleControl,
                        public IOleInPlaceObject,
                        public IViewObject2,
                        public IPersistStreamInit,
                        public IPersistPropertyBag,
                        public IProvideClassInfo2,
                        public ISpecifyPropertyPages,
                        public IConnectionPointContainer {
 public:
  explicit COleControlBase(const OleControlInfo& info);
  virtual ~COleControlBase();
  COleControlBase(const COleControlBase&) = delete;
  COleControlBase& operator=(const COleControlBase&) = delete;

  // The container's site, or null while the control is not sited.
  IOleClientSite* client_site() const { return client_site_.get(); }
  HWND window() const { return hwnd_; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR obj) override;
  STDMETHODIMP Close(DWORD save_option) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* mk) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** mk) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT pos) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** e) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* pal) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* ci) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IOleWindow / IOleInPlaceObject
  STDMETHODIMP GetWindow(HWND* hwnd) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enter) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT pos, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  // IViewObject / IViewObject2: the control has no visual content.
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target,
                    HDC target_dc, HDC dc, LPCRECTL bounds, LPCRECTL wbounds,
                    BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR cont_arg) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspect_info, DVTARGETDEVICE* target,
                           HDC target_dc, LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspect_info, DWORD* freeze) override;
  STDMETHODIMP Unfreeze(DWORD freeze) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target,
                         LPSIZEL size) override;

  // IPersist / IPersistStreamInit / IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clear_dirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clear_dirty, BOOL save_all) override;

  // IProvideClassInfo / IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** e) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override;

 protected:
  // Interfaces the derived control adds (IDispatch and the like).
  virtual HRESULT QueryExtraInterface(REFIID iid, void** out) = 0;
  // The coclass description for IProvideClassInfo.
  virtual HRESULT GetCoClassTypeInfo(ITypeInfo** info) = 0;

 private:
  class CEventPoint;
  HRESULT InPlaceActivate(IOleClientSite* site, HWND parent, LPCRECT pos);
  void DestroyWindowOnly();

  LONG refs_ = 1;
  OleControlInfo info_;
  zu::ComPtr<IOleClientSite> client_site_;
  zu::ComPtr<IOleInPlaceSite> inplace_site_;
  zu::ComPtr<IOleAdviseHolder> advise_holder_;
  zu::ComPtr<IAdviseSink> view_sink_;
  DWORD view_aspects_ = 0, view_flags_ = 0;
  SIZEL extent_ = {2540, 2540};  // HIMETRIC, one inch square until told
  HWND hwnd_ = nullptr;
  bool inplace_active_ = false;
  CEventPoint* event_point_ = nullptr;  // created on first request, owned
};
