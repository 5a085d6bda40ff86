#pragma once
// Text conversions for test messages, files and scripts. Plain C++, so that
// the natively built rule tests use them too: wide text is UTF-16 where
// wchar_t has 16 bits (Windows) and UTF-32 where it has 32.
#include <string>
#include <string_view>
#include <vector>

namespace zu::test {

// UTF-8 of wide text; an unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view text);
// Wide text of UTF-8; each malformed sequence becomes U+FFFD.
std::wstring Utf16(std::string_view text);

// The lines of text, each ended by '\n' (not kept); a last line without one
// counts too.
std::vector<std::string> Lines(const std::string& text);

}  // namespace zu::test
