#pragma once
// The texts the page registers for the download engine (RegisterString),
// by number. Only 24 numbers have a slot: 100, 101, 200, 201, 300-307,
// 400-406 and 500-504. One table per process, shared by every control and
// kept until the library is unloaded. Plain C++ (no Windows headers).
#include <string>

// False, storing nothing, when text is empty or id has no slot.
bool StoreRegisteredString(long id, const std::wstring& text);
// The registered text, empty when none was registered or id has no slot.
std::wstring RegisteredString(long id);
bool HasRegisteredStringSlot(long id);
// Back to all-empty (for tests).
void ClearRegisteredStrings();
