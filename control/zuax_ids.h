#pragma once
// Identities of the control's classes and interfaces. The type library's
// GUIDs come from the header widl makes of zuax.idl.
#include <windows.h>
#include <ole2.h>

#include "zuax_h.h"

// {2A098EA6-EEF8-4694-AF12-8B08CE4816CF}
DEFINE_GUID(CLSID_ZUAXPropPage, 0x2a098ea6, 0xeef8, 0x4694, 0xaf, 0x12, 0x8b, 0x08, 0xce, 0x48,
            0x16, 0xcf);

inline constexpr wchar_t kZuaxProgId[] = L"ZUAX.ZUAXCtrl.4";
inline constexpr wchar_t kZuaxPropPageProgId[] = L"ZUAX.ZUAXPropPage.2";
inline constexpr WORD kZuaxTypeLibMajor = 4;
inline constexpr WORD kZuaxTypeLibMinor = 0;
inline constexpr LCID kZuaxTypeLibLcid = 0x409;
// OLEMISC_ACTIVATEWHENVISIBLE | INSIDEOUT | SETCLIENTSITEFIRST |
// CANTLINKINSIDE | RECOMPOSEONRESIZE
inline constexpr DWORD kZuaxMiscStatus = 0x20191;
// The only persistent state: version 4.0 (major in the high word).
inline constexpr DWORD kZuaxPersistVersion = MAKELONG(0, 4);
