#pragma once
// CZUAXPropPage: the property page the control lists. It shows dialog 200
// with caption string 200 and exchanges no data with the control.
#include <windows.h>
#include <ocidl.h>

#include "common/framework/com.h"

class CZUAXPropPage : public IPropertyPage {
 public:
  CZUAXPropPage();
  virtual ~CZUAXPropPage();
  CZUAXPropPage(const CZUAXPropPage&) = delete;
  CZUAXPropPage& operator=(const CZUAXPropPage&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT cmd) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR dir) override;
  STDMETHODIMP TranslateAccelerator(MSG* msg) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  LONG refs_ = 1;
  zu::ComPtr<IPropertyPageSite> site_;
  HWND dialog_ = nullptr;
};
