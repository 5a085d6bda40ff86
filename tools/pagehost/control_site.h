#pragma once
// Where one control of the page lives, as a browser would site it: client
// site, in-place site and frame on a hidden host window, ambient user mode,
// the service provider that leads the control to the browser, and the
// container that is the document holding it.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <servprov.h>

#include <string>
#include <utility>
#include <vector>

#include "common/framework/com.h"

struct ControlRequest {
  CLSID class_id = {};
  std::wstring name;  // for messages
  std::vector<std::pair<std::wstring, std::wstring>> params;
  bool allow_unsafe = false;
};

class CControlSite : public IOleClientSite,
                     public IOleInPlaceSite,
                     public IOleInPlaceFrame,
                     public IOleControlSite,
                     public IServiceProvider,
                     public IDispatch {
 public:
  // Starts with one reference, owned by the caller. document (may be null)
  // is what GetContainer answers.
  CControlSite(HWND window, IUnknown* browser, IUnknown* document);
  virtual ~CControlSite() = default;
  CControlSite(const CControlSite&) = delete;
  CControlSite& operator=(const CControlSite&) = delete;

  // Creates, checks for script safety, initialises, sites and activates the
  // control. On failure *error says why and nothing stays alive.
  bool Create(const ControlRequest& request, std::wstring* error);
  // The control's scripting face (null before Create succeeded).
  IDispatch* dispatch() const { return dispatch_.get(); }
  // Deactivates the control and lets it go; safe to call twice.
  void Close();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** mk) override;
  STDMETHODIMP GetContainer(IOleContainer** container) override;
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow (in-place site and frame alike)
  STDMETHODIMP GetWindow(HWND* hwnd) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override;
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override;
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }
  // IOleInPlaceUIWindow / IOleInPlaceFrame: no menus, borders or tools.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
  // IOleControlSite
  STDMETHODIMP OnControlInfoChanged() override { return S_OK; }
  STDMETHODIMP LockInPlaceActive(BOOL) override { return S_OK; }
  STDMETHODIMP GetExtendedControl(IDispatch** disp) override;
  STDMETHODIMP TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  STDMETHODIMP OnFocus(BOOL) override { return S_OK; }
  STDMETHODIMP ShowPropertyFrame() override { return E_NOTIMPL; }
  // IServiceProvider: SID_SWebBrowserApp answers the browser.
  STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** out) override;
  // IDispatch: the ambient properties (user mode, not design mode).
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                      EXCEPINFO*, UINT*) override;

 private:
  bool CheckSafety(const ControlRequest& request, IUnknown* object, std::wstring* error);
  bool Initialise(const ControlRequest& request, std::wstring* error);

  LONG refs_ = 1;
  HWND window_;
  zu::ComPtr<IUnknown> browser_;
  zu::ComPtr<IUnknown> document_;
  zu::ComPtr<IUnknown> object_;
  zu::ComPtr<IOleObject> ole_;
  zu::ComPtr<IDispatch> dispatch_;
  bool in_place_ = false;
};

// "0x8000FFFF" and the like, for messages.
std::wstring HresultText(HRESULT hr);
