#pragma once
// The plain rules of the HTTP unit: which answers are redirects, the text
// of a "Range" header, the request target of an address and the reading of
// an announced Content-Length. No Windows here.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zu::net {

// Bytes first..last of a resource; without last, everything from first on.
// The numbers go out as they are given: a caller that means "up to the
// size" passes the size.
struct ByteRange {
  std::uint64_t first = 0;
  std::optional<std::uint64_t> last;
};

// 301, 302, 303, 307 and 308: answers whose Location is followed.
bool IsRedirectStatus(unsigned long status);

// "Range:bytes=N-M" or "Range:bytes=N-", full 64-bit decimals, no line end.
std::wstring RangeHeader(const ByteRange& range);

// What goes on the request line for an address's path and query: the
// fragment stays at home, and an empty path is "/".
std::wstring RequestTarget(std::wstring_view path, std::wstring_view extra);

// A user agent: the prefix and the version, cut to kUserAgentMaxChars.
inline constexpr std::size_t kUserAgentMaxChars = 127;
std::wstring UserAgent(std::wstring_view prefix, std::wstring_view version);
// The prefix of the probe that asks whether a page answers, in the agent
// and in the control alike.
inline constexpr wchar_t kProbeAgentPrefix[] = L"ZEFOUpdate-Client/";

// A Content-Length value: decimal digits, blanks around them allowed. A
// value that is not a number or does not fit 64 bits is no length at all.
std::optional<std::uint64_t> ParseContentLength(std::wstring_view text);

// The first byte of a Content-Range value "bytes <first>-<last>/<length>",
// if it has that shape (first not past last, both fit 64 bits).
std::optional<std::uint64_t> ContentRangeFirst(std::wstring_view value);

}  // namespace zu::net
