#include "tools/pagehost/page_objects.h"

#include <oleauto.h>

#include <utility>

namespace {

enum : DISPID { kWrite = 1, kWriteln, kUrl, kTitle, kLocation, kHref };

HRESULT AnswerText(const std::wstring& text, VARIANT* result) {
  if (!result) return S_OK;
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
}

bool IsGet(WORD flags, const DISPPARAMS& params) {
  return (flags & DISPATCH_PROPERTYGET) && params.cArgs == 0;
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

STDMETHODIMP CPageObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
  *out = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CPageObject::AddRef() { return ::InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) CPageObject::Release() {
  LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CPageObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP CPageObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

// Names as a browser's objects have them (JScript asks with case).
STDMETHODIMP CPageObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  size_t n = 0;
  const Member* members = Members(&n);
  for (size_t i = 0; i < n; ++i)
    if (names[0] && ::lstrcmpW(names[0], members[i].name) == 0) ids[0] = members[i].id;
  return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP CPageObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO*, UINT* arg_error) {
  if (result) ::VariantInit(result);
  if (arg_error) *arg_error = 0;
  DISPPARAMS none = {};
  return Call(id, flags, params ? *params : none, result);
}

const CPageObject::Member* CScriptLocation::Members(size_t* count) const {
  static const Member kMembers[] = {{L"href", kHref}, {L"toString", DISPID_VALUE}};
  *count = sizeof(kMembers) / sizeof(kMembers[0]);
  return kMembers;
}

HRESULT CScriptLocation::Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) {
  if (id == kHref && IsGet(flags, params)) return AnswerText(href_, result);
  // "location" used as text, or location.toString().
  if (id == DISPID_VALUE && params.cArgs == 0 && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
    return AnswerText(href_, result);
  return DISP_E_MEMBERNOTFOUND;
}

CScriptDocument::CScriptDocument(IPageView* view, std::wstring url, CScriptLocation* location)
    : view_(view), url_(std::move(url)), location_(location) {
  location_->AddRef();
}

CScriptDocument::~CScriptDocument() { location_->Release(); }

const CPageObject::Member* CScriptDocument::Members(size_t* count) const {
  static const Member kMembers[] = {{L"write", kWrite},  {L"writeln", kWriteln},
                                    {L"URL", kUrl},      {L"title", kTitle},
                                    {L"location", kLocation}};
  *count = sizeof(kMembers) / sizeof(kMembers[0]);
  return kMembers;
}

HRESULT CScriptDocument::Call(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result) {
  switch (id) {
    case kWrite:
    case kWriteln: {
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      // All arguments, in order (they arrive last first).
      std::wstring text;
      for (UINT i = params.cArgs; i > 0; --i) text += VariantText(params.rgvarg[i - 1]);
      if (id == kWriteln) text += L"\n";
      view_->Write(text);
      return S_OK;
    }
    case kUrl:
      if (!IsGet(flags, params)) return DISP_E_MEMBERNOTFOUND;
      return AnswerText(url_, result);
    case kTitle:
      if (IsGet(flags, params)) return AnswerText(view_->Title(), result);
      if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && params.cArgs == 1) {
        view_->SetTitle(VariantText(params.rgvarg[0]));
        return S_OK;
      }
      return DISP_E_MEMBERNOTFOUND;
    case kLocation:
      if (!IsGet(flags, params)) return DISP_E_MEMBERNOTFOUND;
      if (result) {
        V_VT(result) = VT_DISPATCH;
        V_DISPATCH(result) = location_;
        location_->AddRef();
      }
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}
