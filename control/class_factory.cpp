#include "control/class_factory.h"

#include <new>

#include "control/prop_page.h"
#include "control/zuac_module.h"
#include "control/zuax_ctrl.h"
#include "control/zuax_ids.h"

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
