// Entry points of ZUAC.dll, the in-process server of the control.
#include <windows.h>
#include <ole2.h>

#include "control/class_factory.h"
#include "control/registration.h"
#include "control/zuac_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    ::DisableThreadLibraryCalls(instance);
    CZUAXApp::Instance().InitInstance(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    CZUAXApp::Instance().ExitInstance();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return CreateZuaxClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return CZUAXApp::Instance().CanUnload() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return RegisterZuaxServer(); }

STDAPI DllUnregisterServer() { return UnregisterZuaxServer(); }
