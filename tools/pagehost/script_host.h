#pragma once
// JScript as a browser runs it: one engine for the page, every control a
// named item, each script block parsed and run at once in document order.
#include <windows.h>
#include <activscp.h>

#include <map>
#include <string>

#include "common/framework/com.h"

class CScriptHost : public IActiveScriptSite, public IActiveScriptSiteWindow {
 public:
  // Starts with one reference, owned by the caller.
  CScriptHost(std::wstring source_name, HWND window);
  virtual ~CScriptHost() = default;
  CScriptHost(const CScriptHost&) = delete;
  CScriptHost& operator=(const CScriptHost&) = delete;

  // Creates the engine ("JScript") and starts it.
  bool Start(std::wstring* error);
  // A global name for an object; the host keeps a reference until Close.
  bool AddItem(const std::wstring& name, IUnknown* object, std::wstring* error);
  // Runs one block; line is the 1-based line of its first character in the
  // source. False when it did not run to its end (the error was printed).
  bool Run(const std::wstring& text, unsigned line);
  // Ends the engine and drops the items.
  void Close();

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IActiveScriptSite
  STDMETHODIMP GetLCID(LCID* lcid) override;
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown,
                           ITypeInfo** info) override;
  STDMETHODIMP GetDocVersionString(BSTR* version) override;
  STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
  STDMETHODIMP OnScriptError(IActiveScriptError* error) override;
  STDMETHODIMP OnEnterScript() override { return S_OK; }
  STDMETHODIMP OnLeaveScript() override { return S_OK; }
  // IActiveScriptSiteWindow
  STDMETHODIMP GetWindow(HWND* hwnd) override;
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

 private:
  LONG refs_ = 1;
  std::wstring source_name_;
  HWND window_;
  zu::ComPtr<IActiveScript> engine_;
  zu::ComPtr<IActiveScriptParse32> parse_;
  std::map<std::wstring, zu::ComPtr<IUnknown>> items_;
  bool error_reported_ = false;
};
