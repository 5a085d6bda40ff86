#pragma once
// Text rules of the system identity and of the installed-components
// database. Plain C++ so that they can be tested without Windows.
#include <cstddef>
#include <cstdint>
#include <string>

// Identifying number as the server expects it: trailing spaces removed,
// every remaining space turned into "-".
std::wstring NormalizeIdentifyingNumber(const std::wstring& identifying_number);

// Cuts the normalized identifying number at its first "-": the model code
// before it, the serial number after it (further "-" included). False, and
// both outputs untouched, when there is no separator.
bool SplitIdentifyingNumber(const std::wstring& identifying_number, std::wstring* model_code,
                            std::wstring* serial_number);


// Longest text a database string value may hold, terminator excluded, and
// the buffer that sub-key names are enumerated with.
inline constexpr std::size_t kComponentTextMax = 259;
inline constexpr std::size_t kComponentKeyNameChars = 260;

// Turns the raw data of a database value into its text: only string types
// (REG_SZ, REG_EXPAND_SZ, unexpanded) count, the text ends at the first
// null, and a text longer than kComponentTextMax does not fit the reader's
// buffer. False when the value cannot be used.
bool DecodeComponentText(std::uint32_t type, const void* data, std::size_t bytes,
                         std::wstring* text);

// A sub-key of "PatchDB" can be named by the identifier only when the
// identifier is a single key name.
bool IsUsableKeyName(const std::wstring& id);
