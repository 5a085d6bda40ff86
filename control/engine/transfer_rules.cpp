#include "control/engine/transfer_rules.h"

#include "common/ascii_case.h"
#include "common/net/http_rules.h"

BodyPlacement PlaceHttpBody(int status, std::optional<std::uint64_t> range_from,
                            const std::wstring& content_range) {
  if (status < 200 || status > 299) return BodyPlacement::kFail;
  // A whole body, also when a part was asked for and the server ignored it.
  if (status != 206) return BodyPlacement::kRewrite;
  // A part is only ours when we asked for one and it starts where the
  // partial file ends (as far as the reply says where it starts).
  if (!range_from) return BodyPlacement::kFail;
  if (content_range.empty()) return BodyPlacement::kAppend;
  std::optional<std::uint64_t> first = zu::net::ContentRangeFirst(content_range);
  return first && *first == *range_from ? BodyPlacement::kAppend : BodyPlacement::kFail;
}

std::wstring PlainFtpUrl(const std::wstring& server, const std::wstring& object) {
  return std::wstring(L"ftp://") + kFtpUser + L":" + kFtpPassword + L"@" + server + object;
}

std::string RestCommand(std::uint64_t offset) { return "REST " + std::to_string(offset); }

bool ReplyHasCode(const std::string& reply, const char* code) {
  return reply.compare(0, std::char_traits<char>::length(code), code) == 0;
}

namespace {

// sscanf's "%d" on one number: white space, an optional sign, digits.
std::optional<long long> ScanInt(const std::string& s, std::size_t* i) {
  while (*i < s.size() && (s[*i] == ' ' || (s[*i] >= '\t' && s[*i] <= '\r'))) ++*i;
  bool negative = false;
  if (*i < s.size() && (s[*i] == '+' || s[*i] == '-')) negative = s[(*i)++] == '-';
  std::size_t start = *i;
  long long v = 0;
  while (*i < s.size() && s[*i] >= '0' && s[*i] <= '9') {
    if (v < 1000000) v = v * 10 + (s[*i] - '0');  // anything this large is refused anyway
    ++*i;
  }
  if (*i == start) return std::nullopt;
  return negative ? -v : v;
}

}  // namespace

std::optional<PassiveAddress> ParsePasvReply(const std::string& reply) {
  if (!ReplyHasCode(reply, "227")) return std::nullopt;
  std::size_t i = reply.find('(');
  if (i == std::string::npos) return std::nullopt;
  ++i;
  long long n[6];
  for (int k = 0; k < 6; ++k) {
    if (k > 0) {
      if (i >= reply.size() || reply[i] != ',') return std::nullopt;
      ++i;
    }
    std::optional<long long> v = ScanInt(reply, &i);
    if (!v || *v < 0 || *v > 255) return std::nullopt;
    n[k] = *v;
  }
  PassiveAddress a;
  a.host = std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]) + "." +
           std::to_string(n[3]);
  a.port = static_cast<std::uint16_t>(n[4] * 256 + n[5]);
  if (a.port == 0) return std::nullopt;
  return a;
}

bool ProxyPreventsFtpResume(bool proxy, const std::wstring& url, const std::wstring& maker_host) {
  if (!proxy) return false;
  if (maker_host.empty()) return true;
  return zu::AsciiLower(url).find(zu::AsciiLower(maker_host)) == std::wstring::npos;
}
