#pragma once
// Driver facts of a device found by hardware ID: values of its driver key
// HKLM "SYSTEM\CurrentControlSet\Control\Class\<driver property>".
#include <string>

inline constexpr wchar_t kDriverVersionValue[] = L"DriverVersion";
inline constexpr wchar_t kDriverDateValue[] = L"DriverDate";

// Walks every present device of every class in SetupAPI's order; each one
// whose hardware IDs hold hardware_id (ignoring case) replaces the answer
// with its driver key's REG_SZ value, so the last such device decides,
// even when it has no value. "" when no device carries the ID or the
// device list cannot be read; *error is then 0x20000008 (else 0).
std::wstring ReadDriverValueForPage(const std::wstring& hardware_id, const wchar_t* value_name,
                                    long* error);
