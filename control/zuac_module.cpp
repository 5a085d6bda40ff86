#include "control/zuac_module.h"

#include <new>

#include "common/framework/com.h"
#include "control/prop_page.h"
#include "control/zuax_ctrl.h"
#include "control/zuax_ids.h"

CZUAXApp& CZUAXApp::Instance() {
  static CZUAXApp app;
  return app;
}

HINSTANCE CZUAXApp::module() const {
  if (module_) return module_;
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&CZUAXApp::Instance), &self);
  return self;
}

std::wstring CZUAXApp::ModulePath() const {
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(module(), path, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(path, n);
}

HRESULT LoadZuaxTypeLib(ITypeLib** lib) {
  *lib = nullptr;
  std::wstring path = CZUAXApp::Instance().ModulePath();
  if (path.empty()) return E_FAIL;
  return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib);
}

HRESULT LoadZuaxTypeInfo(REFGUID guid, ITypeInfo** info) {
  *info = nullptr;
  zu::ComPtr<ITypeLib> lib;
  HRESULT hr = LoadZuaxTypeLib(lib.put());
  if (FAILED(hr)) return hr;
  return lib->GetTypeInfoOfGuid(guid, info);
}

namespace {

// One class factory per served class; creating an object counts it as live.
template <typename T>
class CObjectFactory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Static objects: the module's lock count keeps the library loaded.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    CZUAXApp::Instance().Lock(lock != FALSE);
    return S_OK;
  }
};

using CZUAXCtrlFactory = CObjectFactory<CZUAXCtrl>;
using CZUAXPropPageFactory = CObjectFactory<CZUAXPropPage>;

}  // namespace

HRESULT CreateZuaxClassObject(REFCLSID clsid, REFIID iid, void** out) {
  static CZUAXCtrlFactory ctrl_factory;
  static CZUAXPropPageFactory page_factory;
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid == CLSID_ZUAX) return ctrl_factory.QueryInterface(iid, out);
  if (clsid == CLSID_ZUAXPropPage) return page_factory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}
