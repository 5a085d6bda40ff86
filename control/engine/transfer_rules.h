#pragma once
// The texts the transfers send and read: what a reply to a resumed HTTP
// request means, FTP commands and the passive-mode reply (the "Range"
// header itself is the HTTP unit's). Plain C++ (no Windows headers). Byte offsets are 64-bit.
#include <cstdint>
#include <optional>
#include <string>

// What to do with the body of an HTTP reply.
enum class BodyPlacement {
  kAppend,   // the rest of the partial file, from where it ends
  kRewrite,  // the whole file: the partial file starts over
  kFail,     // no module content (an error status, a part that does not fit)
};
// status: the final HTTP status; range_from: the offset sent in "Range",
// empty when none was sent; content_range: the reply's "Content-Range"
// value (empty when absent or not known: a part is then taken to be the
// one asked for).
BodyPlacement PlaceHttpBody(int status, std::optional<std::uint64_t> range_from,
                            const std::wstring& content_range);


// "ftp://anonymous:<password>@<server><object>"; the URL's own user,
// password and port are never used.
std::wstring PlainFtpUrl(const std::wstring& server, const std::wstring& object);
inline constexpr wchar_t kFtpUser[] = L"anonymous";
inline constexpr wchar_t kFtpPassword[] = L"kp-rodnastelt7";

std::string RestCommand(std::uint64_t offset);  // "REST <offset>"

// The data address of a "227" reply: six decimal numbers after its first
// "(" read as "%d,%d,%d,%d,%d,%d". Empty when the reply is not 227, has no
// "(", the numbers do not follow, or one is out of range (an address part
// above 255, a port of 0).
struct PassiveAddress {
  std::string host;  // "h1.h2.h3.h4"
  std::uint16_t port = 0;
};
std::optional<PassiveAddress> ParsePasvReply(const std::string& reply);

// Whether an FTP reply text begins with the code.
bool ReplyHasCode(const std::string& reply, const char* code);

// Behind a proxy only the maker's own FTP server can be resumed (others
// are reached through the proxy's whole-file interface): true when a
// resume must not be tried. The host is looked for anywhere in the URL,
// ignoring ASCII case.
bool ProxyPreventsFtpResume(bool proxy, const std::wstring& url, const std::wstring& maker_host);
