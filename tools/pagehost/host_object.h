#pragma once
// The page host's own script object, named "host" in every page:
//   host.Echo(text)      prints a line on standard output
//   host.Fail(text)      prints it too, and the run ends with exit code 1
//   host.RefreshCount    how often the control asked the browser to reload
#include <windows.h>
#include <oaidl.h>

#include <string>

class CHostBrowser;

// A line on standard output / standard error, as UTF-8.
void PrintLine(const std::wstring& text);
void PrintError(const std::wstring& text);
// A script value as JScript would print it ("null", "undefined", "[object]"
// for what has no text).
std::wstring VariantText(const VARIANT& value);

class CHostObject : public IDispatch {
 public:
  enum : DISPID { kEcho = 1, kFail = 2, kRefreshCount = 3 };

  // Starts with one reference, owned by the caller. The browser must outlive
  // the object's script use.
  explicit CHostObject(const CHostBrowser* browser) : browser_(browser) {}
  virtual ~CHostObject() = default;
  CHostObject(const CHostObject&) = delete;
  CHostObject& operator=(const CHostObject&) = delete;

  bool failed() const { return failed_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT* arg_error) override;

 private:
  LONG refs_ = 1;
  bool failed_ = false;
  const CHostBrowser* browser_;
};
