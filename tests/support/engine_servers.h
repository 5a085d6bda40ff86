#pragma once
// The engine's test servers (engine_servers.py, started around a test by
// with_engine_servers.sh) as a test program sees them: their addresses,
// the files they serve, their request log and the root of their HTTPS
// certificate; and SHA-256 of files, to compare what arrived.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zu::test {

class EngineServers {
 public:
  // Read from ZU_ENGINE_SERVERS; ok() is false when the test runs without.
  EngineServers();
  bool ok() const { return http_port_ != 0; }

  // http(s)://127.0.0.1:<port>/<path>
  std::wstring Http(const std::string& path) const;
  std::wstring Https(const std::string& path) const;
  // ftp://<address>/<path>: "127.0.0.5" serves plainly, "127.0.0.6" refuses
  // "REST", "127.0.0.7" answers "PASV" without "(".
  static std::wstring Ftp(const char* address, const std::string& path);

  // A served file of `size` random bytes; its path (as Wine sees it).
  std::wstring Publish(const std::string& name, std::uint64_t size) const;
  std::wstring ServedFile(const std::string& name) const;

  // The requests so far, one map of fields per line ("proto", "path",
  // "range", "agent", "status", "start"; for FTP "host", "cmd", "arg"); the
  // log's lines about bodies sent are left out.
  using Entry = std::map<std::string, std::string>;
  std::vector<Entry> Log() const;
  void ClearLog() const;
  // The requests for a name (its last path segment), in order.
  std::vector<Entry> RequestsFor(const std::string& name) const;

  std::wstring RootCertificate() const { return folder_ + L"\\root.der"; }

 private:
  std::wstring folder_;
  int http_port_ = 0;
  int https_port_ = 0;
};

// Lower-case hex SHA-256 of a file's bytes; empty when it cannot be read.
std::string FileSha256(const std::wstring& path);
// Sizes of files; -1 for a missing one.
long long FileSize(const std::wstring& path);

// The certificate in the local machine's trusted roots while this lives.
class TrustedRoot {
 public:
  explicit TrustedRoot(const std::wstring& der_path);
  ~TrustedRoot();
  TrustedRoot(const TrustedRoot&) = delete;
  TrustedRoot& operator=(const TrustedRoot&) = delete;
  bool ok() const { return !thumbprint_.empty(); }
  // Leaves the root trusted after this is gone (a throwaway prefix).
  void Keep() { kept_ = true; }

 private:
  std::wstring thumbprint_;  // upper-case hex SHA-1, the registry key's name
  bool kept_ = false;
};

}  // namespace zu::test
