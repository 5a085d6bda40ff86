#include "tools/pagehost/host_object.h"

#include <oleauto.h>

#include "tools/pagehost/host_browser.h"

namespace {

void WriteLine(DWORD which, const std::wstring& text) {
  HANDLE out = ::GetStdHandle(which);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  std::wstring line = text + L"\n";
  DWORD mode = 0, written = 0;
  if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return;
  }
  int n = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0,
                                nullptr, nullptr);
  if (n <= 0) return;
  std::string bytes(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), n,
                        nullptr, nullptr);
  ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::FlushFileBuffers(out);
}

// The first argument as text; no argument prints an empty line.
std::wstring ArgumentText(const DISPPARAMS* params) {
  if (!params || params->cArgs == 0) return L"";
  // Arguments arrive last first.
  return VariantText(params->rgvarg[params->cArgs - 1]);
}

}  // namespace

std::wstring VariantText(const VARIANT& value) {
  VARIANT text;
  ::VariantInit(&text);
  std::wstring out;
  if (SUCCEEDED(::VariantChangeType(&text, const_cast<VARIANT*>(&value), VARIANT_ALPHABOOL, VT_BSTR)) &&
      text.bstrVal)
    out.assign(text.bstrVal, ::SysStringLen(text.bstrVal));
  else if (V_VT(&value) == VT_NULL)
    out = L"null";
  else if (V_VT(&value) == VT_EMPTY)
    out = L"undefined";
  else
    out = L"[object]";
  ::VariantClear(&text);
  return out;
}

void PrintLine(const std::wstring& text) { WriteLine(STD_OUTPUT_HANDLE, text); }
void PrintError(const std::wstring& text) { WriteLine(STD_ERROR_HANDLE, text); }

STDMETHODIMP CHostObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CHostObject::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CHostObject::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CHostObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP CHostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

STDMETHODIMP CHostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  static const struct {
    const wchar_t* name;
    DISPID id;
  } kMembers[] = {{L"Echo", kEcho}, {L"Fail", kFail}, {L"RefreshCount", kRefreshCount}};
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  for (const auto& m : kMembers)
    if (names[0] && ::lstrcmpiW(names[0], m.name) == 0) ids[0] = m.id;
  if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

STDMETHODIMP CHostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT* arg_error) {
  if (result) ::VariantInit(result);
  if (arg_error) *arg_error = 0;
  UINT args = params ? params->cArgs : 0;
  switch (id) {
    case kEcho:
    case kFail:
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      if (args > 1) return DISP_E_BADPARAMCOUNT;
      if (id == kFail) failed_ = true;
      PrintLine(ArgumentText(params));
      return S_OK;
    case kRefreshCount:
      if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      if (args != 0) return DISP_E_BADPARAMCOUNT;
      if (result) {
        V_VT(result) = VT_I4;
        V_I4(result) = browser_ ? browser_->refresh_count() : 0;
      }
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
