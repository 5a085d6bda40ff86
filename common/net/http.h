#pragma once
// The one way this product speaks HTTP: a GET through WinINet with the
// system's proxy settings, always from the server itself, never into the
// cache and never with a dialog. Redirects are followed here, at most
// kMaxRedirects of them; the body is handed to the caller block by block.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/framework/handle.h"
#include "common/net/http_rules.h"

namespace zu::net {

// Redirects followed before an exchange gives up; a redirect loop ends here.
constexpr int kMaxRedirects = 10;

struct RequestOptions {
  std::wstring user_agent;  // empty: WinINet's own
  // Each connect, send and receive gives up after this long, so that a
  // server that accepts and never answers cannot hold the caller for good.
  // (Wine ignores the connect time-out: docs/platform-notes.md.)
  unsigned long timeout_ms = 30000;
  // Sent with every request of the exchange, never as a second request.
  std::optional<ByteRange> range;
  // Asked before every request and every block read; false stops the
  // exchange. This is where callers cancel or keep a deadline, and where a
  // pause waits before answering. Called on the caller's thread.
  std::function<bool()> keep_going;
};

enum class Outcome {
  kOk,                // answered; for a body: every announced byte arrived
  kBadAddress,        // not an http or https address with a host (given or redirected to)
  kNoAnswer,          // no HTTP answer: no session, no connection, no reply in time
  kTooManyRedirects,  // more than kMaxRedirects redirects
  kStopped,           // keep_going said stop
  kReadFailed,        // the body broke off with an error (time-out, reset)
  kEndedEarly,        // the body ended cleanly before its announced length
  kSinkRefused,       // the sink would not take a block
};

struct Result {
  Outcome outcome = Outcome::kOk;
  unsigned long error = 0;  // the failing call's last-error code, if one failed
  std::uint64_t bytes = 0;  // body bytes the sink took
  bool ok() const { return outcome == Outcome::kOk; }
};

// Takes one block of the body; false refuses it and ends the read.
using BodySink = std::function<bool(const char* data, std::size_t size)>;

// A request that has been answered, the final one of its redirect chain.
// Owns the session, connection and request handles until it goes.
class Response {
 public:
  unsigned long status() const { return status_; }
  // The announced Content-Length, when there is a usable one.
  std::optional<std::uint64_t> content_length() const { return content_length_; }
  // The "Content-Range" header as sent; empty when there was none.
  const std::wstring& content_range() const { return content_range_; }
  // The address that gave this answer.
  const std::wstring& address() const { return address_; }

  // Reads the body in blocks of up to block_size bytes (1 at least) and
  // hands each to the sink; keep_going is asked before each read. Read
  // once: bytes counts what the sink took.
  Result ReadBody(std::size_t block_size, const BodySink& sink);

 private:
  friend std::optional<Response> Get(const std::wstring&, const RequestOptions&, Result*);
  Response() = default;

  UniqueInternet session_;
  UniqueInternet connection_;
  UniqueInternet request_;
  unsigned long status_ = 0;
  std::optional<std::uint64_t> content_length_;
  std::wstring content_range_;
  std::wstring address_;
  std::function<bool()> keep_going_;
};

// Sends a GET for the address and follows redirects (relative ones taken
// against the address that sent them). A redirect without a Location is
// an answer like any other. Nothing when no answer came: then result, if
// given, says why.
std::optional<Response> Get(const std::wstring& address, const RequestOptions& options,
                            Result* result = nullptr);

}  // namespace zu::net
