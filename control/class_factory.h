#pragma once
// The class factories of the objects this library serves: the control and
// its property page. Apart from the module object, which the objects
// themselves use, so that neither depends on the other.
#include <windows.h>
#include <objbase.h>

// DllGetClassObject: the factory of clsid, asked for iid.
HRESULT CreateZuaxClassObject(REFCLSID clsid, REFIID iid, void** out);
