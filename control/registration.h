#pragma once
// What DllRegisterServer and DllUnregisterServer do. Both answer S_OK,
// SELFREG_E_TYPELIB or SELFREG_E_CLASS; only the type library and the
// class entries decide, the browser policy keys are best effort.
#include <windows.h>

HRESULT RegisterZuaxServer();
HRESULT UnregisterZuaxServer();
