#include "tests/support/engine_servers.h"

#include <bcrypt.h>
#include <wincrypt.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "common/framework/handle.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/text.h"

namespace zu::test {

namespace {

std::string LastSegment(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

EngineServers::EngineServers() : folder_(Env(L"ZU_ENGINE_SERVERS")) {
  if (folder_.empty()) return;
  std::istringstream ready(ReadFileBytes(folder_ + L"\\ready"));
  for (std::string line; std::getline(ready, line);) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "http_port") http_port_ = std::atoi(value.c_str());
    if (key == "https_port") https_port_ = std::atoi(value.c_str());
  }
}

std::wstring EngineServers::Http(const std::string& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(http_port_) + L"/" + Utf16(path);
}

std::wstring EngineServers::Https(const std::string& path) const {
  return L"https://127.0.0.1:" + std::to_wstring(https_port_) + L"/" + Utf16(path);
}

std::wstring EngineServers::Ftp(const char* address, const std::string& path) {
  return L"ftp://" + Utf16(address) + L"/" + Utf16(path);
}

std::wstring EngineServers::ServedFile(const std::string& name) const {
  return folder_ + L"\\files\\" + Utf16(name);
}

std::wstring EngineServers::Publish(const std::string& name, std::uint64_t size) const {
  std::mt19937_64 random(std::hash<std::string>()(name) ^ size);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  for (std::size_t i = 0; i < bytes.size(); i += 8) {
    std::uint64_t r = random();
    for (std::size_t k = 0; k < 8 && i + k < bytes.size(); ++k)
      bytes[i + k] = static_cast<char>(r >> (8 * k));
  }
  std::wstring path = ServedFile(name);
  WriteFileBytes(path, bytes);
  return path;
}

std::vector<EngineServers::Entry> EngineServers::Log() const {
  std::vector<Entry> entries;
  std::istringstream log(ReadFileBytes(folder_ + L"\\log"));
  for (std::string line; std::getline(log, line);) {
    Entry e;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) {
      std::size_t eq = field.find('=');
      if (eq != std::string::npos) e[field.substr(0, eq)] = field.substr(eq + 1);
    }
    if (e.count("event")) continue;  // the end of a body, for the benchmark
    entries.push_back(std::move(e));
  }
  return entries;
}

void EngineServers::ClearLog() const { WriteFileBytes(folder_ + L"\\log", ""); }

std::vector<EngineServers::Entry> EngineServers::RequestsFor(const std::string& name) const {
  std::vector<Entry> found;
  for (Entry& e : Log()) {
    const std::string& where = e["proto"] == "ftp" ? e["arg"] : e["path"];
    if (LastSegment(where) == name) found.push_back(e);
  }
  return found;
}

std::string FileSha256(const std::wstring& path) {
  UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return "";
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    return "";
  std::string hex;
  if (BCRYPT_SUCCESS(::BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0))) {
    std::string block(1 << 20, '\0');
    DWORD n = 0;
    while (::ReadFile(f.get(), block.data(), static_cast<DWORD>(block.size()), &n, nullptr) && n)
      ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(block.data()), n, 0);
    unsigned char digest[32];
    if (BCRYPT_SUCCESS(::BCryptFinishHash(hash, digest, sizeof(digest), 0))) {
      static const char kHex[] = "0123456789abcdef";
      for (unsigned char b : digest) {
        hex.push_back(kHex[b >> 4]);
        hex.push_back(kHex[b & 15]);
      }
    }
    ::BCryptDestroyHash(hash);
  }
  ::BCryptCloseAlgorithmProvider(alg, 0);
  return hex;
}

long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TrustedRoot::TrustedRoot(const std::wstring& der_path) {
  std::string der = ReadFileBytes(der_path);
  if (der.empty()) return;
  HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
  if (!store) return;
  PCCERT_CONTEXT added = nullptr;
  if (::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                         reinterpret_cast<const BYTE*>(der.data()),
                                         static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
    BYTE sha1[20];
    DWORD n = sizeof(sha1);
    if (::CertGetCertificateContextProperty(added, CERT_SHA1_HASH_PROP_ID, sha1, &n)) {
      static const wchar_t kHex[] = L"0123456789ABCDEF";
      for (DWORD i = 0; i < n; ++i) {
        thumbprint_.push_back(kHex[sha1[i] >> 4]);
        thumbprint_.push_back(kHex[sha1[i] & 15]);
      }
    }
    ::CertFreeCertificateContext(added);
  }
  ::CertCloseStore(store, 0);
}

TrustedRoot::~TrustedRoot() {
  // Removing it from the store leaves it in the registry under Wine.
  if (!thumbprint_.empty() && !kept_)
    DeleteKeyTree(HKEY_LOCAL_MACHINE,
                  L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumbprint_);
}

}  // namespace zu::test
