// The control object: identity, life cycle and script safety. The
// scripting methods are in ctrl_methods_*.cpp, the dispatch in
// zuax_dispatch.cpp.
#include "control/zuax_ctrl.h"

#include "control/zuac_module.h"
#include "control/zuax_ids.h"

namespace {

const CLSID kZuaxPropPages[] = {CLSID_ZUAXPropPage};

OleControlInfo ZuaxControlInfo() {
  OleControlInfo info{};
  info.clsid = CLSID_ZUAX;
  info.source_iid = DIID__DZUAXEvents;
  info.misc_status = kZuaxMiscStatus;
  info.persist_version = kZuaxPersistVersion;
  info.prop_pages = kZuaxPropPages;
  info.prop_page_count = 1;
  return info;
}

constexpr DWORD kSafeForScripting = INTERFACESAFE_FOR_UNTRUSTED_CALLER |
                                    INTERFACESAFE_FOR_UNTRUSTED_DATA;

}  // namespace

CZUAXCtrl::CZUAXCtrl() : COleControlBase(ZuaxControlInfo()) {
  CZUAXApp::Instance().ObjectCreated();
}

CZUAXCtrl::~CZUAXCtrl() {
  if (working_mutex_) {
    ::ReleaseMutex(working_mutex_.get());
    working_mutex_.reset();
  }
  installed_apps_.reset();
  CZUAXApp::Instance().ObjectDestroyed();
}

HRESULT CZUAXCtrl::QueryExtraInterface(REFIID iid, void** out) {
  if (iid == IID_IDispatch || iid == DIID__DZUAX) {
    *out = static_cast<IDispatch*>(this);
  } else if (iid == IID_IObjectSafety) {
    *out = static_cast<IObjectSafety*>(&inner_safety_);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT CZUAXCtrl::GetCoClassTypeInfo(ITypeInfo** info) {
  return LoadZuaxTypeInfo(CLSID_ZUAX, info);
}

HRESULT CZUAXCtrl::DispatchTypeInfo(ITypeInfo** info) {
  *info = nullptr;
  if (!dispatch_info_) {
    HRESULT hr = LoadZuaxTypeInfo(DIID__DZUAX, dispatch_info_.put());
    if (FAILED(hr)) return hr;
  }
  *info = dispatch_info_.get();
  (*info)->AddRef();
  return S_OK;
}

STDMETHODIMP CZUAXCtrl::XCInnerZUAXCtrl::GetInterfaceSafetyOptions(REFIID, DWORD* supported,
                                                                   DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  *supported = kSafeForScripting;
  *enabled = kSafeForScripting;
  return S_OK;
}

STDMETHODIMP CZUAXCtrl::XCInnerZUAXCtrl::SetInterfaceSafetyOptions(REFIID, DWORD, DWORD) {
  return S_OK;
}
