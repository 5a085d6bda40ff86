#include "tests/support/loopback_http.h"

#include <ws2tcpip.h>

#include <cstring>

namespace zu::test {

namespace {

std::string HeaderValue(const std::string& head, const char* name) {
  const size_t name_len = std::strlen(name);
  for (size_t at = head.find("\r\n"); at != std::string::npos; at = head.find("\r\n", at + 2)) {
    const size_t end = head.find("\r\n", at + 2);
    const std::string line =
        head.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2);
    if (line.size() > name_len && _strnicmp(line.c_str(), name, name_len) == 0 &&
        line[name_len] == ':') {
      const size_t v = line.find_first_not_of(' ', name_len + 1);
      return v == std::string::npos ? "" : line.substr(v);
    }
  }
  return "";
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int len = sizeof(addr);
  if (listener_ != INVALID_SOCKET &&
      ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
      ::listen(listener_, 16) == 0 &&
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
}

LoopbackHttpServer::LoopbackHttpServer(std::map<std::string, Reply> replies)
    : LoopbackHttpServer([replies = std::move(replies)](const Request& r) {
        const auto it = replies.find(r.path);
        return it == replies.end() ? Reply::With(404, "not found") : it->second;
      }) {}

LoopbackHttpServer::~LoopbackHttpServer() {
  Stop();
  ::WSACleanup();
}

void LoopbackHttpServer::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
  listener_ = INVALID_SOCKET;
}

std::wstring LoopbackHttpServer::Url(const std::string& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path.begin(), path.end());
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackHttpServer::Serve() {
  std::vector<SOCKET> held;
  while (!stop_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener_, &readable);
    timeval wait{0, 50 * 1000};
    if (::select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    const SOCKET s = ::accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) continue;
    if (Answer(s))
      ::closesocket(s);
    else
      held.push_back(s);
  }
  for (SOCKET s : held) ::closesocket(s);
}

bool LoopbackHttpServer::Answer(SOCKET s) {
  DWORD timeout_ms = 5000;
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout_ms),
               sizeof(timeout_ms));
  std::string head;
  char buf[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
    const int n = ::recv(s, buf, sizeof(buf), 0);
    if (n <= 0) return true;
    head.append(buf, n);
  }
  Request request;
  const size_t sp1 = head.find(' ');
  const size_t sp2 = sp1 == std::string::npos ? sp1 : head.find(' ', sp1 + 1);
  if (sp2 != std::string::npos) request.path = head.substr(sp1 + 1, sp2 - sp1 - 1);
  request.user_agent = HeaderValue(head, "User-Agent");
  request.range = HeaderValue(head, "Range");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  const Reply reply = handler_(request);
  if (reply.silent) return false;
  const long long length = reply.length.value_or(static_cast<long long>(reply.body.size()));
  std::string text = "HTTP/1.1 " + std::to_string(reply.status) + " X\r\n" + reply.headers +
                     "Content-Type: text/xml\r\nConnection: close\r\n" +
                     (length < 0 ? "" : "Content-Length: " + std::to_string(length) + "\r\n") +
                     "\r\n" + reply.body;
  if (reply.stall) text.resize(text.size() - reply.body.size() / 2);
  ::send(s, text.data(), static_cast<int>(text.size()), 0);
  if (reply.stall) return false;
  ::shutdown(s, SD_SEND);
  return true;
}

void ServedFiles::Put(const std::string& path, std::string body) {
  std::lock_guard<std::mutex> lock(mutex_);
  bodies_[path] = std::move(body);
}

void ServedFiles::Remove(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  bodies_.erase(path);
}

LoopbackHttpServer::Reply ServedFiles::Reply(const LoopbackHttpServer::Request& request) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = bodies_.find(request.path);
  return it == bodies_.end() ? LoopbackHttpServer::Reply::With(404, "")
                             : LoopbackHttpServer::Reply::With(200, it->second);
}

}  // namespace zu::test
