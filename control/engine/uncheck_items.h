#pragma once
// C:\Update\UncheckItem.dat: the page's un-checked items, an INI file with
// section "UncheckItem" whose keys are item names and whose value "1"
// marks an item as un-checked. Plain C++ (no Windows headers).
#include <cstddef>
#include <string>

inline constexpr wchar_t kUncheckItemName[] = L"UncheckItem.dat";  // in the update folder
inline constexpr wchar_t kUncheckItemSection[] = L"UncheckItem";
inline constexpr std::size_t kUncheckValueChars = 256;  // read buffer, terminator included

// Whether a name given by the page can be stored as one key of its own:
// not empty, and nothing the INI format would read as a line break, a
// section, a comment or the end of the key ("=").
bool IsStorableItemName(const std::wstring& name);

// The stored value marks the item: "1", and nothing else.
bool IsUncheckedValue(const std::wstring& value);
