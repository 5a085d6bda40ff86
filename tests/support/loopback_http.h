#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests: one thread, one request
// a connection, answers chosen by a handler, every request recorded.
#include <winsock2.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zu::test {

class LoopbackHttpServer {
 public:
  struct Request {
    std::string path;  // as sent, query included
    std::string user_agent;
    std::string range;  // the "Range" header's value
  };
  struct Reply {
    int status = 200;
    std::string body;
    std::string headers;  // extra header lines, each ending in CRLF
    bool silent = false;  // accept and never answer until the server stops
    bool stall = false;   // send the headers and half the body, then nothing
    // Content-Length announced instead of the body's size (the connection
    // closes after the body); -1 announces none.
    std::optional<long long> length;

    static Reply With(int status, std::string body) {
      Reply r;
      r.status = status;
      r.body = std::move(body);
      return r;
    }
  };
  using Handler = std::function<Reply(const Request&)>;

  explicit LoopbackHttpServer(Handler handler);
  // Fixed answers by path; any other path is 404.
  explicit LoopbackHttpServer(std::map<std::string, Reply> replies);
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Stops serving and closes every connection; the port is free after it.
  void Stop();

  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  std::wstring Url(const std::string& path) const;
  std::vector<Request> requests() const;

 private:
  void Serve();
  bool Answer(SOCKET s);  // false: keep the connection open, unanswered

  Handler handler_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  std::thread thread_;
};

// Bodies by path that a test changes while a server answers from them (on
// its own thread); any other path is 404:
//   ServedFiles files;
//   LoopbackHttpServer server{[&](const auto& r) { return files.Reply(r); }};
class ServedFiles {
 public:
  void Put(const std::string& path, std::string body);
  void Remove(const std::string& path);
  LoopbackHttpServer::Reply Reply(const LoopbackHttpServer::Request& request) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> bodies_;
};

}  // namespace zu::test
