#include "control/zuac_module.h"

#include "common/framework/com.h"

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
