#include "common/net/http.h"

#include <wininet.h>

#include <algorithm>
#include <vector>

namespace zu::net {

namespace {

constexpr DWORD_PTR kContext = 1;
// Longest header value or address this unit takes from a server.
constexpr size_t kMaxTextChars = 32768;
constexpr size_t kMaxBlock = 16 * 1024 * 1024;

// Wine ignores the time-outs on the session handle and honours them on the
// connection and request handles; Windows takes them everywhere.
void SetTimeouts(HINTERNET handle, DWORD ms) {
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT})
    ::InternetSetOptionW(handle, option, &ms, sizeof(ms));
}

std::wstring Part(const wchar_t* text, DWORD length) {
  return text ? std::wstring(text, length) : std::wstring();
}

// A response header as text; nothing when it is missing or too long.
std::optional<std::wstring> QueryText(HINTERNET request, DWORD what) {
  std::vector<wchar_t> text(512);
  for (;;) {
    DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD index = 0;
    if (::HttpQueryInfoW(request, what, text.data(), &size, &index))
      return std::wstring(text.data(), size / sizeof(wchar_t));
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || text.size() >= kMaxTextChars)
      return std::nullopt;
    text.resize(std::min(kMaxTextChars, std::max(text.size() * 2, size_t{size} / sizeof(wchar_t) + 1)));
  }
}

// The redirect target, a relative one taken against the current address;
// empty when the two do not combine.
std::wstring Combine(const std::wstring& base, const std::wstring& location) {
  std::vector<wchar_t> out(1024);
  for (;;) {
    DWORD n = static_cast<DWORD>(out.size());
    if (::InternetCombineUrlW(base.c_str(), location.c_str(), out.data(), &n, ICU_NO_ENCODE))
      return std::wstring(out.data(), n);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || out.size() >= kMaxTextChars) return L"";
    out.resize(std::min(kMaxTextChars, std::max(out.size() * 2, size_t{n} + 1)));
  }
}

// One GET of the address on the session, redirects not followed. The
// connection and request of an earlier hop are closed first.
Outcome SendOnce(HINTERNET session, const std::wstring& address, const RequestOptions& options,
                 const std::wstring& headers, UniqueInternet* connection,
                 UniqueInternet* request, DWORD* status, DWORD* error) {
  request->reset();
  connection->reset();
  const auto no_answer = [error] {
    *error = ::GetLastError();
    return Outcome::kNoAnswer;
  };
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = 1;
  parts.dwPasswordLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (address.empty() ||
      !::InternetCrackUrlW(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts))
    return Outcome::kBadAddress;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
    return Outcome::kBadAddress;
  const std::wstring host = Part(parts.lpszHostName, parts.dwHostNameLength);
  if (host.empty()) return Outcome::kBadAddress;
  const std::wstring target = RequestTarget(Part(parts.lpszUrlPath, parts.dwUrlPathLength),
                                            Part(parts.lpszExtraInfo, parts.dwExtraInfoLength));
  const std::wstring user = Part(parts.lpszUserName, parts.dwUserNameLength);
  const std::wstring password = Part(parts.lpszPassword, parts.dwPasswordLength);

  connection->reset(::InternetConnectW(
      session, host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
      password.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP, 0, kContext));
  if (!*connection) return no_answer();
  SetTimeouts(connection->get(), options.timeout_ms);

  // Always from the server itself: a cached answer says nothing about now,
  // and a cached copy of a large download would take its size twice.
  DWORD flags = INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_RELOAD |
                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  request->reset(::HttpOpenRequestW(connection->get(), L"GET", target.c_str(), nullptr, nullptr,
                                    nullptr, flags, kContext));
  if (!*request) return no_answer();
  SetTimeouts(request->get(), options.timeout_ms);
  if (!::HttpSendRequestW(request->get(), headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), nullptr, 0))
    return no_answer();
  DWORD size = sizeof(*status);
  if (!::HttpQueryInfoW(request->get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, status,
                        &size, nullptr))
    return no_answer();
  return Outcome::kOk;
}

}  // namespace

std::optional<Response> Get(const std::wstring& address, const RequestOptions& options,
                            Result* result) {
  Result ignored;
  Result& r = result ? *result : ignored;
  r = Result();
  const auto fail = [&r](Outcome outcome, DWORD error) {
    r.outcome = outcome;
    r.error = error;
    return std::nullopt;
  };

  Response response;
  response.keep_going_ = options.keep_going;
  response.session_.reset(
      ::InternetOpenW(options.user_agent.empty() ? nullptr : options.user_agent.c_str(),
                      INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!response.session_) return fail(Outcome::kNoAnswer, ::GetLastError());
  SetTimeouts(response.session_.get(), options.timeout_ms);
  // The range goes with each request itself: sent again on an answered
  // handle, WinINet would first read and throw away the whole first body.
  const std::wstring headers = options.range ? RangeHeader(*options.range) + L"\r\n" : L"";

  // Redirects are followed here, and only so far: left to itself WinINet
  // follows a redirect loop for ever.
  std::wstring current = address;
  for (int hop = 0;; ++hop) {
    if (options.keep_going && !options.keep_going()) return fail(Outcome::kStopped, 0);
    DWORD status = 0, error = 0;
    const Outcome sent = SendOnce(response.session_.get(), current, options, headers,
                                  &response.connection_, &response.request_, &status, &error);
    if (sent != Outcome::kOk) return fail(sent, error);
    response.status_ = status;
    if (!IsRedirectStatus(status)) break;
    const std::optional<std::wstring> location =
        QueryText(response.request_.get(), HTTP_QUERY_LOCATION);
    if (!location || location->empty()) break;
    if (hop == kMaxRedirects) return fail(Outcome::kTooManyRedirects, 0);
    current = Combine(current, *location);
    if (current.empty()) return fail(Outcome::kBadAddress, 0);
  }
  response.address_ = current;
  if (std::optional<std::wstring> length =
          QueryText(response.request_.get(), HTTP_QUERY_CONTENT_LENGTH))
    response.content_length_ = ParseContentLength(*length);
  response.content_range_ =
      QueryText(response.request_.get(), HTTP_QUERY_CONTENT_RANGE).value_or(std::wstring());
  return response;
}

Result Response::ReadBody(std::size_t block_size, const BodySink& sink) {
  Result r;
  std::vector<char> block(std::clamp<std::size_t>(block_size, 1, kMaxBlock));
  std::uint64_t received = 0;
  for (;;) {
    if (keep_going_ && !keep_going_()) {
      r.outcome = Outcome::kStopped;
      return r;
    }
    DWORD got = 0;
    if (!::InternetReadFile(request_.get(), block.data(), static_cast<DWORD>(block.size()),
                            &got)) {
      r.outcome = Outcome::kReadFailed;
      r.error = ::GetLastError();
      return r;
    }
    if (got == 0) break;
    received += got;
    if (sink && !sink(block.data(), got)) {
      r.outcome = Outcome::kSinkRefused;
      return r;
    }
    r.bytes += got;
  }
  // WinINet reports a connection the server closed early (and some resets)
  // as a clean end of data: only the announced length tells them apart.
  if (content_length_ && received < *content_length_) r.outcome = Outcome::kEndedEarly;
  return r;
}

}  // namespace zu::net
