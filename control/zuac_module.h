#pragma once
// CZUAXApp: the library's application object. It knows the module, counts
// live objects and server locks for DllCanUnloadNow, and loads the type
// library embedded in the module's resources.
#include <windows.h>
#include <oaidl.h>

#include <string>

class CZUAXApp {
 public:
  static CZUAXApp& Instance();

  // The module this code is in (the DLL, or a test executable that links
  // the control statically).
  HINSTANCE module() const;
  std::wstring ModulePath() const;

  void InitInstance(HINSTANCE module) { module_ = module; }
  void ExitInstance() {}

  void ObjectCreated() { ::InterlockedIncrement(&objects_); }
  void ObjectDestroyed() { ::InterlockedDecrement(&objects_); }
  void Lock(bool lock) {
    if (lock)
      ::InterlockedIncrement(&locks_);
    else
      ::InterlockedDecrement(&locks_);
  }
  bool CanUnload() const { return objects_ == 0 && locks_ == 0; }

 private:
  HINSTANCE module_ = nullptr;
  LONG objects_ = 0;
  LONG locks_ = 0;
};

// Type library ZUAXLib from resource 1 of the module; the type info of a
// GUID in it (dispinterface or coclass).
HRESULT LoadZuaxTypeLib(ITypeLib** lib);
HRESULT LoadZuaxTypeInfo(REFGUID guid, ITypeInfo** info);
