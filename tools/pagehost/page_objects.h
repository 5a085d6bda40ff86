#pragma once
// The two browser objects a support page's script uses, as named items:
//   document.write(text), document.writeln(text)  text into the page
//   document.URL, document.title, document.location
//   location.href (also the value of "location" itself)
// Everything else a browser's objects have is not offered; a page that
// uses it fails with a script error, as it should in a test.
#include <windows.h>
#include <oaidl.h>

#include <string>

// Where the page's written text and title go.
class IPageView {
 public:
  virtual void Write(const std::wstring& html) = 0;
  virtual std::wstring Title() const = 0;
  virtual void SetTitle(const std::wstring& title) = 0;

 protected:
  ~IPageView() = default;
};

// A script value as JScript would print it ("null", "undefined", "[object]"
// for what has no text).
std::wstring VariantText(const VARIANT& value);

// A small scriptable object: members by name, each a method or property.
class CPageObject : public IDispatch {
 public:
  // Starts with one reference, owned by the caller.
  CPageObject() = default;
  virtual ~CPageObject() = default;
  CPageObject(const CPageObject&) = delete;
  CPageObject& operator=(const CPageObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT* arg_error) override;

 protected:
  struct Member {
    const wchar_t* name;
    DISPID id;
  };
  virtual const Member* Members(size_t* count) const = 0;
  // DISP_E_MEMBERNOTFOUND for what the member does not do.
  virtual HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) = 0;

 private:
  LONG refs_ = 1;
};

class CScriptLocation : public CPageObject {
 public:
  explicit CScriptLocation(std::wstring href) : href_(std::move(href)) {}

 protected:
  const Member* Members(size_t* count) const override;
  HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) override;

 private:
  std::wstring href_;
};

class CScriptDocument : public CPageObject {
 public:
  // The view must outlive the object's script use.
  CScriptDocument(IPageView* view, std::wstring url, CScriptLocation* location);
  ~CScriptDocument() override;

 protected:
  const Member* Members(size_t* count) const override;
  HRESULT Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) override;

 private:
  IPageView* view_;
  std::wstring url_;
  CScriptLocation* location_;
};
