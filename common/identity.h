#pragma once
// The PC's identity as the maker's server knows it: model name, model code
// and serial number (both cut out of the identifying number) and the BIOS
// version, read through WMI; and the per-user cache of the raw texts that
// the agent and the control share.
#include <string>

#include "common/wmi_query.h"

inline constexpr wchar_t kIdentityCacheKey[] = L"SOFTWARE\\Vexa Corporation\\ZEFO Update\\4.0";
inline constexpr wchar_t kCacheModelName[] = L"ModuleName";
inline constexpr wchar_t kCacheIdentifyingNumber[] = L"IdentifyNum";
inline constexpr wchar_t kCacheBiosVersion[] = L"BIOSVersion";

// Standalone reads: each initialises COM for its own query unless told the
// caller already has. Outputs are untouched on failure unless stated.
bool GetModelName(std::wstring* name, WmiCom com = WmiCom::kInitialize);
// Empty when the read fails.
void GetIdentifyingNumber(std::wstring* number, WmiCom com = WmiCom::kInitialize);
// False when the identifying number cannot be read or has no separator.
bool GetModelCode(std::wstring* code, WmiCom com = WmiCom::kInitialize);
bool GetSerialNumber(std::wstring* serial, WmiCom com = WmiCom::kInitialize);

// Writes "ModuleName", "IdentifyNum" and "BIOSVersion" under HKCU
// kIdentityCacheKey. Runs in the caller's COM apartment. When WMI cannot be
// reached nothing is written; a single query that fails writes an empty
// text and the others are still written. The agent calls it once at
// start-up on Vista and later.
void CacheIdentity();
// The same over a given (not yet connected) session.
void CacheIdentity(CWmiSession& session);
