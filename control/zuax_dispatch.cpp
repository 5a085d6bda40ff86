// IDispatch of the control. Names resolve through the type library (so
// without regard to case, as automation does); each member id is bound to
// its method here, and the arguments are coerced by the method's own
// parameter types with DispGetParam, so a page gets the usual automation
// errors for a wrong count or an unconvertible value.
#include <new>
#include <string>
#include <utility>

#include "control/zuax_ctrl.h"

namespace {

template <typename T>
struct ArgType;
template <>
struct ArgType<const std::wstring&> {
  static constexpr VARTYPE kVt = VT_BSTR;
  static std::wstring Get(const VARIANT& v) {
    BSTR b = V_BSTR(&v);
    return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring();
  }
};
template <>
struct ArgType<long> {
  static constexpr VARTYPE kVt = VT_I4;
  static long Get(const VARIANT& v) { return V_I4(&v); }
};
template <>
struct ArgType<ULONG> {
  static constexpr VARTYPE kVt = VT_UI4;
  static ULONG Get(const VARIANT& v) { return V_UI4(&v); }
};
template <>
struct ArgType<LONGLONG> {
  static constexpr VARTYPE kVt = VT_I8;
  static LONGLONG Get(const VARIANT& v) { return V_I8(&v); }
};
template <>
struct ArgType<bool> {
  static constexpr VARTYPE kVt = VT_BOOL;
  static bool Get(const VARIANT& v) { return V_BOOL(&v) != VARIANT_FALSE; }
};

// BOOL answers reach script as booleans, whatever the type library says.
HRESULT PutResult(bool value, VARIANT* r) {
  V_VT(r) = VT_BOOL;
  V_BOOL(r) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}
HRESULT PutResult(const std::wstring& value, VARIANT* r) {
  BSTR b = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (!b) return E_OUTOFMEMORY;
  V_VT(r) = VT_BSTR;
  V_BSTR(r) = b;
  return S_OK;
}
HRESULT PutResult(long value, VARIANT* r) {
  V_VT(r) = VT_I4;
  V_I4(r) = value;
  return S_OK;
}
HRESULT PutResult(ULONG value, VARIANT* r) {
  V_VT(r) = VT_UI4;
  V_UI4(r) = value;
  return S_OK;
}

// The coerced arguments, cleared whatever happens.
template <std::size_t N>
struct ArgVariants {
  VARIANT v[N ? N : 1];
  ArgVariants() {
    for (VARIANT& x : v) ::VariantInit(&x);
  }
  ~ArgVariants() {
    for (VARIANT& x : v) ::VariantClear(&x);
  }
  ArgVariants(const ArgVariants&) = delete;
  ArgVariants& operator=(const ArgVariants&) = delete;
};

template <typename R, typename... A, std::size_t... I>
HRESULT CallWith(CZUAXCtrl* ctrl, R (CZUAXCtrl::*method)(A...), const VARIANT* args,
                 VARIANT* result, std::index_sequence<I...>) {
  if constexpr (std::is_void_v<R>) {
    (ctrl->*method)(ArgType<A>::Get(args[I])...);
    return S_OK;
  } else {
    R value = (ctrl->*method)(ArgType<A>::Get(args[I])...);
    return result ? PutResult(value, result) : S_OK;
  }
}

template <typename R, typename... A>
HRESULT Call(CZUAXCtrl* ctrl, R (CZUAXCtrl::*method)(A...), DISPPARAMS* params,
             VARIANT* result, UINT* arg_err) {
  constexpr UINT kCount = sizeof...(A);
  if (params->cArgs != kCount) return DISP_E_BADPARAMCOUNT;
  if (params->cNamedArgs > params->cArgs) return DISP_E_BADPARAMCOUNT;
  for (UINT i = 0; i < params->cNamedArgs; ++i) {
    DISPID named = params->rgdispidNamedArgs[i];
    if (named < 0 || named >= static_cast<DISPID>(kCount)) {
      if (arg_err) *arg_err = i;
      return DISP_E_PARAMNOTFOUND;
    }
  }
  ArgVariants<kCount> args;
  constexpr VARTYPE kTypes[] = {ArgType<A>::kVt..., VT_EMPTY};
  for (UINT i = 0; i < kCount; ++i) {
    HRESULT hr = ::DispGetParam(params, i, kTypes[i], &args.v[i], arg_err);
    if (FAILED(hr)) return hr;
  }
  return CallWith(ctrl, method, args.v, result, std::index_sequence_for<A...>{});
}

using Invoker = HRESULT (*)(CZUAXCtrl*, DISPPARAMS*, VARIANT*, UINT*);

template <auto Method>
HRESULT Bind(CZUAXCtrl* ctrl, DISPPARAMS* params, VARIANT* result, UINT* arg_err) {
  return Call(ctrl, Method, params, result, arg_err);
}

struct DispatchEntry {
  DISPID id;
  Invoker invoke;
};

constexpr DispatchEntry kDispatchTable[] = {
    {1, &Bind<&CZUAXCtrl::GetBIOSVersion>},
    {2, &Bind<&CZUAXCtrl::SearchSPID>},
    {3, &Bind<&CZUAXCtrl::EnumSPID>},
    {4, &Bind<&CZUAXCtrl::GetDriverVersion>},
    {5, &Bind<&CZUAXCtrl::GetDriverDate>},
    {6, &Bind<&CZUAXCtrl::GetFileVersion>},
    {7, &Bind<&CZUAXCtrl::GetFileLastWriteTime>},
    {8, &Bind<&CZUAXCtrl::GetModelCode>},
    {9, &Bind<&CZUAXCtrl::GetSerialNumber>},
    {10, &Bind<&CZUAXCtrl::GetRegistryInfo>},
    {11, &Bind<&CZUAXCtrl::ReadVersionTXT>},
    {12, &Bind<&CZUAXCtrl::StartDownload>},
    {13, &Bind<&CZUAXCtrl::IsDownloaded>},
    {14, &Bind<&CZUAXCtrl::SearchDriveInfo>},
    {15, &Bind<&CZUAXCtrl::AddModuleInfo>},
    {16, &Bind<&CZUAXCtrl::ClearModuleList>},
    {17, &Bind<&CZUAXCtrl::ReadApplicationVersionTXT>},
    {18, &Bind<&CZUAXCtrl::SearchRegistry>},
    {19, &Bind<&CZUAXCtrl::SearchModelCode>},
    {20, &Bind<&CZUAXCtrl::SearchSerialNumber>},
    {21, &Bind<&CZUAXCtrl::GetSelfVersion>},
    {22, &Bind<&CZUAXCtrl::CheckOSVersion>},
    {23, &Bind<&CZUAXCtrl::ShowInstaller>},
    {24, &Bind<&CZUAXCtrl::GetDebugRegistry>},
    {25, &Bind<&CZUAXCtrl::SetDebugRegistry>},
    {26, &Bind<&CZUAXCtrl::GetLastError>},
    {27, &Bind<&CZUAXCtrl::SetLastError>},
    {28, &Bind<&CZUAXCtrl::SearchModelCodeAndSerialNum>},
    {29, &Bind<&CZUAXCtrl::RegisterString>},
    {30, &Bind<&CZUAXCtrl::GetSystemDefaultLCID>},
    {31, &Bind<&CZUAXCtrl::GetModelName>},
    {32, &Bind<&CZUAXCtrl::IsAdmin>},
    {33, &Bind<&CZUAXCtrl::SetUnCheckItem>},
    {34, &Bind<&CZUAXCtrl::ResetUnCheckItem>},
    {35, &Bind<&CZUAXCtrl::DeletePatchListFile>},
    {36, &Bind<&CZUAXCtrl::DeletePatchFile>},
    {37, &Bind<&CZUAXCtrl::GetExecutedPatches>},
    {38, &Bind<&CZUAXCtrl::SearchBIOSVersionEx>},
    {39, &Bind<&CZUAXCtrl::SearchDriverVersionEx>},
    {40, &Bind<&CZUAXCtrl::SearchDriverDateEx>},
    {41, &Bind<&CZUAXCtrl::SearchFileVersionEx>},
    {42, &Bind<&CZUAXCtrl::SearchFileLastWriteTimeEx>},
    {43, &Bind<&CZUAXCtrl::SearchRegistryInfoEx>},
    {44, &Bind<&CZUAXCtrl::SearchVersionTXTEx>},
    {45, &Bind<&CZUAXCtrl::SearchApplicationVersionTXTEx>},
    {46, &Bind<&CZUAXCtrl::SearchModelNameEx>},
    {47, &Bind<&CZUAXCtrl::IsUnChecked>},
    {48, &Bind<&CZUAXCtrl::SearchDriveInfoEx>},
    {49, &Bind<&CZUAXCtrl::SearchRegistryEx>},
    {50, &Bind<&CZUAXCtrl::SearchSPIDEx>},
    {51, &Bind<&CZUAXCtrl::SearchOSVersionEx>},
    {52, &Bind<&CZUAXCtrl::SearchModelCodeAndSerialNumEx>},
    {53, &Bind<&CZUAXCtrl::AddModuleInfoEx>},
    {54, &Bind<&CZUAXCtrl::UpdateToLatestVersion>},
    {55, &Bind<&CZUAXCtrl::ZUMutexLock>},
    {56, &Bind<&CZUAXCtrl::ZUMutexUnLock>},
    {57, &Bind<&CZUAXCtrl::IsFileExist>},
    {58, &Bind<&CZUAXCtrl::GetProcessorArchitecture>},
};

static_assert(std::size(kDispatchTable) == 58);
constexpr bool IdsInOrder() {
  for (std::size_t i = 0; i < std::size(kDispatchTable); ++i)
    if (kDispatchTable[i].id != static_cast<DISPID>(i + 1)) return false;
  return true;
}
static_assert(IdsInOrder(), "member ids 1 to 58, each at its own place");

}  // namespace

STDMETHODIMP CZUAXCtrl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP CZUAXCtrl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  return DispatchTypeInfo(info);
}

STDMETHODIMP CZUAXCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                      DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!names || !ids) return E_POINTER;
  zu::ComPtr<ITypeInfo> info;
  HRESULT hr = DispatchTypeInfo(info.put());
  if (FAILED(hr)) return hr;
  return info->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CZUAXCtrl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO*, UINT* arg_err) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (id < 1 || id > static_cast<DISPID>(std::size(kDispatchTable)))
    return DISP_E_MEMBERNOTFOUND;
  // Methods only: there are no properties to get or put.
  if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  if (!params) params = &none;
  if (result) ::VariantInit(result);
  // Hold the control while a method runs; the page may drop it meanwhile.
  AddRef();
  HRESULT hr;
  try {
    hr = kDispatchTable[id - 1].invoke(this, params, result, arg_err);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  Release();
  return hr;
}
