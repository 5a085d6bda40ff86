#include "tests/support/page_address_near_miss.h"

#include <string_view>
#include <vector>

namespace zu::test {
namespace {

// Reads choices from the input; past its end every choice is 0.
class Choices {
 public:
  Choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  unsigned Pick(unsigned n) {
    if (n <= 1) return 0;
    unsigned value = at_ < size_ ? data_[at_] : 0;
    ++at_;
    if (n > 256 && at_ < size_) value = value * 256 + data_[at_++];
    return value % n;
  }
  bool Coin() { return Pick(2) == 1; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::wstring Lower(std::wstring_view s) {
  std::wstring out(s);
  for (wchar_t& c : out)
    if (c >= L'A' && c <= L'Z') c += L'a' - L'A';
  return out;
}

// What the page would be: the parts a browser reads, rendered at the end.
struct Address {
  std::wstring scheme = L"http";
  std::wstring separator = L"://";
  std::wstring user;  // without "@"; empty: none
  std::wstring host;
  std::wstring port;  // without ":"; empty: none
  bool port_colon = false;
  std::wstring path = L"/";
  std::wstring Render() const {
    std::wstring out = scheme + separator;
    if (!user.empty()) out += user + L"@";
    out += host;
    if (port_colon || !port.empty()) out += L":" + port;
    return out + path;
  }
};

const wchar_t* const kForeignHosts[] = {L"evil.test", L"attacker.example", L"127.0.0.1",
                                        L"vexa.example.evil.test", L"zefo.example.attacker.test"};
const wchar_t* const kPaths[] = {L"/", L"/zefo/update/index.html", L"/a?b=c", L"/x#top",
                                 L"/q?next=http://evil.test/", L"/My%20Page.htm"};
// Letters that look like ASCII ones (Cyrillic, Greek, Kelvin, long s,
// dotless i, full-width forms) and Unicode dots.
const wchar_t kLookAlikes[] = {0x0430, 0x0435, 0x043E, 0x0440, 0x0441, 0x0445, 0x03BF, 0x212A,
                               0x017F, 0x0131, 0xFF41, 0xFF45, 0xFF4F, 0xFF53};
const wchar_t kUnicodeDots[] = {0x3002, 0xFF0E, 0xFF61, 0x2024};
const wchar_t kBlanks[] = {L'\t', L'\n', L'\r', L' ', 0x0000, 0x00A0, 0x3000, 0x200B, 0x007F};
const wchar_t* const kOtherSchemes[] = {L"ftp",  L"file",  L"javascript", L"res",  L"about",
                                        L"data", L"hxxp",  L"view-source:http", L"httpx",
                                        L"http+s", L"ht\ttp"};
const wchar_t* const kBadPorts[] = {L"8o", L"-1", L"65536", L"0x50", L" 80", L":80", L"80 ",
                                    L"99999999999", L"80@", L"80\\"};

class Generator {
 public:
  Generator(const std::uint8_t* data, std::size_t size, const PageAllowList& list)
      : pick_(data, size), list_(list) {}

  NearMiss Make() {
    Address a = Allowed();
    NearMiss out;
    out.verdict = NearMissVerdict::kMustAllow;
    out.change = "allowed";
    // Changes a browser reads the same first, then at most one of any
    // kind: a later change never undoes what made an earlier one a miss.
    const unsigned benign = pick_.Pick(3);
    for (unsigned i = 0; i < benign; ++i) {
      const unsigned kBenign[] = {0, 1, 2, 18};
      Apply(&a, kBenign[pick_.Pick(4)], &out);
    }
    if (pick_.Pick(8) != 0) Apply(&a, pick_.Pick(kChangeKinds), &out);
    out.address = a.Render();
    return out;
  }

 private:
  enum class Kind { kExact, kSuffix, kPrefix };

  Address Allowed() {
    Address a;
    kind_ = static_cast<Kind>(pick_.Pick(3));
    a.scheme = pick_.Coin() ? L"https" : L"http";
    switch (kind_) {
      case Kind::kExact: {
        exact_ = pick_.Pick(static_cast<unsigned>(list_.exact_hosts.size()));
        a.host = std::wstring(list_.exact_hosts[exact_]);
        if (exact_ == 0) a.scheme = L"https";  // secure-only
        a.path = kPaths[pick_.Pick(std::size(kPaths))];
        break;
      }
      case Kind::kSuffix: {
        suffix_ = std::wstring(list_.domain_suffixes[pick_.Pick(2)]);
        const wchar_t* const labels[] = {L"a", L"www", L"help.eu", L"x-1.y", L"xn--80ak6aa92e"};
        a.host = std::wstring(labels[pick_.Pick(std::size(labels))]) + suffix_;
        a.path = kPaths[pick_.Pick(std::size(kPaths))];
        break;
      }
      case Kind::kPrefix: {
        std::wstring_view prefix = list_.address_prefixes[pick_.Pick(2)];
        a.scheme = std::wstring(prefix.substr(0, prefix.find(L':')));
        prefix.remove_prefix(prefix.find(L"//") + 2);
        a.host = std::wstring(prefix.substr(0, prefix.find(L'/')));
        prefix_path_ = std::wstring(prefix.substr(prefix.find(L'/')));
        const wchar_t* const tails[] = {L"", L"index.htm", L"sub/page.html?m=1", L"a.b/c#d"};
        a.path = prefix_path_ + tails[pick_.Pick(std::size(tails))];
        break;
      }
    }
    allowed_host_ = a.host;
    return a;
  }

  // True when an ASCII host is on the list by itself (exact or under a
  // suffix); a change that lands on another allowed host is no near miss.
  bool OnList(const std::wstring& host) const {
    for (wchar_t c : host)
      if (!((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
            c == L'-' || c == L'.'))
        return false;
    const std::wstring h = Lower(host);
    for (std::wstring_view e : list_.exact_hosts)
      if (h == e) return true;
    for (std::wstring_view s : list_.domain_suffixes)
      if (h.size() > s.size() && h.compare(h.size() - s.size(), s.size(), s) == 0) return true;
    return false;
  }

  // A host changed in place: refused unless it landed on an allowed host.
  NearMissVerdict NewHost(Address* a, std::wstring host) {
    bool ascii = true;
    for (wchar_t c : host) ascii = ascii && c > L' ' && c < 0x7F;
    a->host = std::move(host);
    if (!ascii) return NearMissVerdict::kMustRefuse;
    if (kind_ == Kind::kPrefix) return NearMissVerdict::kMustRefuse;  // the prefix's host is no list host
    if (OnList(a->host)) return NearMissVerdict::kEither;
    return NearMissVerdict::kMustRefuse;
  }

  // The part of the host an attacker must not touch: all of an exact host,
  // the registered domain of a suffix host.
  size_t GuardedStart(const Address& a) const {
    if (kind_ == Kind::kSuffix && a.host.size() >= suffix_.size())
      return a.host.size() - suffix_.size() + 1;
    return 0;
  }

  static constexpr unsigned kChangeKinds = 20;

  void Apply(Address* a, unsigned kind, NearMiss* out) {
    const NearMissVerdict v = Change(a, kind, &out->change);
    // Refused stays refused; anything unclear makes an allowed one unclear.
    if (out->verdict == NearMissVerdict::kMustRefuse) return;
    if (v != NearMissVerdict::kMustAllow) out->verdict = v;
  }

  NearMissVerdict Change(Address* a, unsigned kind, const char** change) {
    const std::wstring foreign = kForeignHosts[pick_.Pick(std::size(kForeignHosts))];
    switch (kind) {
      case 0: {  // what a browser reads the same: letter case
        *change = "case";
        for (wchar_t& c : a->host)
          if (c >= L'a' && c <= L'z' && pick_.Coin()) c -= L'a' - L'A';
        for (wchar_t& c : a->scheme)
          if (c >= L'a' && c <= L'z' && pick_.Coin()) c -= L'a' - L'A';
        return NearMissVerdict::kMustAllow;
      }
      case 1: {  // an explicit port
        *change = "port";
        const wchar_t* const ports[] = {L"80", L"443", L"8080", L"65535", L"1", L""};
        a->port = ports[pick_.Pick(std::size(ports))];
        a->port_colon = true;
        // The prefix entries name no port: one makes the address another.
        return kind_ == Kind::kPrefix ? NearMissVerdict::kMustRefuse : NearMissVerdict::kMustAllow;
      }
      case 2: {  // user information before the real host
        *change = "user before the host";
        const wchar_t* const users[] = {L"evil.test", L"user:pw", L"a.zefo.example", L"x"};
        a->user = users[pick_.Pick(std::size(users))];
        // The prefix entries leave no room for user information.
        return kind_ == Kind::kPrefix ? NearMissVerdict::kMustRefuse : NearMissVerdict::kMustAllow;
      }
      case 3: {  // the allowed host as user information of another
        *change = "allowed host as user";
        const wchar_t* const forms[] = {L"", L":pw", L":443", L":", L"%40"};
        a->user = allowed_host_ + forms[pick_.Pick(std::size(forms))];
        return NewHost(a, foreign);
      }
      case 4: {  // "\\" somewhere in the authority
        *change = "backslash in the authority";
        const unsigned where = pick_.Pick(4);
        if (where == 0) a->host = foreign + L"\\" + a->host;
        else if (where == 1) a->host = a->host + L"\\@" + foreign;
        else if (where == 2) a->host += L"\\";
        else a->user = L"u\\" + a->user;
        return NearMissVerdict::kMustRefuse;
      }
      case 5: {  // more labels after the allowed host
        *change = "labels after";
        const wchar_t* const tails[] = {L".evil.test", L".", L"-evil.test", L".zefo.example.evil"};
        const std::wstring tail = tails[pick_.Pick(std::size(tails))];
        if (tail == L".") {
          a->host += tail;  // the same DNS name; either answer will do
          return NearMissVerdict::kEither;
        }
        return NewHost(a, a->host + tail);
      }
      case 6: {  // glued in front of the guarded part
        *change = "glued in front";
        const size_t start = GuardedStart(*a);
        return NewHost(a, L"evil" + a->host.substr(start));
      }
      case 7: {  // one letter of the guarded part swapped for a look-alike
        *change = "look-alike letter";
        const size_t start = GuardedStart(*a);
        if (start >= a->host.size()) return NearMissVerdict::kEither;
        const size_t at = start + pick_.Pick(static_cast<unsigned>(a->host.size() - start));
        std::wstring host = a->host;
        host[at] = kLookAlikes[pick_.Pick(std::size(kLookAlikes))];
        return NewHost(a, host);
      }
      case 8: {  // ASCII look-alikes: 0 for o, 1 for l, rn for m, doubled letters
        *change = "ascii look-alike";
        const size_t start = GuardedStart(*a);
        if (start >= a->host.size()) return NearMissVerdict::kEither;
        const size_t at = start + pick_.Pick(static_cast<unsigned>(a->host.size() - start));
        std::wstring host = a->host;
        const unsigned how = pick_.Pick(3);
        if (how == 0) host[at] = host[at] == L'o' ? L'0' : host[at] == L'l' ? L'1' : L'q';
        else if (how == 1) host.insert(at, 1, host[at]);
        else host.erase(at, 1);
        return NewHost(a, host);
      }
      case 9: {  // an escape in the host
        *change = "escape in the host";
        const wchar_t* const escapes[] = {L"%2e", L"%2E", L"%00", L"%2f", L"%40", L"%5c", L"%73"};
        std::wstring host = a->host;
        host.insert(pick_.Pick(static_cast<unsigned>(host.size() + 1)),
                    escapes[pick_.Pick(std::size(escapes))]);
        return NewHost(a, host);
      }
      case 10: {  // dots: doubled, leading, dropped, Unicode
        *change = "dots";
        std::wstring host = a->host;
        const size_t dot = host.find(L'.', GuardedStart(*a));
        const unsigned how = pick_.Pick(4);
        if (how == 0) host.insert(0, L".");
        else if (dot == std::wstring::npos) host += L"..";
        else if (how == 1) host.insert(dot, L".");
        else if (how == 2) host.erase(dot, 1);
        else host[dot] = kUnicodeDots[pick_.Pick(std::size(kUnicodeDots))];
        return NewHost(a, host);
      }
      case 11: {  // a blank or control character in the authority
        *change = "blank in the authority";
        std::wstring host = a->host;
        host.insert(pick_.Pick(static_cast<unsigned>(host.size() + 1)), 1,
                    kBlanks[pick_.Pick(std::size(kBlanks))]);
        a->host = host;
        return NearMissVerdict::kMustRefuse;
      }
      case 12: {  // another scheme
        *change = "scheme";
        a->scheme = kOtherSchemes[pick_.Pick(std::size(kOtherSchemes))];
        return NearMissVerdict::kMustRefuse;
      }
      case 13: {  // the secure-only host over plain HTTP
        *change = "secure-only over http";
        a->host = std::wstring(list_.exact_hosts[0]);
        a->scheme = pick_.Coin() ? L"http" : L"HTTP";
        a->user.clear();
        kind_ = Kind::kExact;
        return NearMissVerdict::kMustRefuse;
      }
      case 14: {  // a port no browser accepts
        *change = "bad port";
        a->port = kBadPorts[pick_.Pick(std::size(kBadPorts))];
        a->port_colon = true;
        return NearMissVerdict::kMustRefuse;
      }
      case 15: {  // a separator other than "//"
        *change = "separator";
        const wchar_t* const refused[] = {L":\\\\", L":/\\", L":\\/", L":\\"};
        const wchar_t* const unclear[] = {L":", L":/", L":///", L"://///"};
        if (pick_.Coin()) {
          a->separator = refused[pick_.Pick(std::size(refused))];
          return NearMissVerdict::kMustRefuse;
        }
        a->separator = unclear[pick_.Pick(std::size(unclear))];
        return NearMissVerdict::kEither;
      }
      case 16: {  // a second "@"
        *change = "two @";
        a->user = L"a@" + (a->user.empty() ? std::wstring(L"b") : a->user);
        return NearMissVerdict::kMustRefuse;
      }
      case 17: {  // out of an address prefix
        *change = "out of the prefix";
        if (kind_ != Kind::kPrefix) return NearMissVerdict::kEither;
        const wchar_t* const climbs[] = {L"../../evil/", L"%2e%2e/x", L"./../a", L"..\\..\\x",
                                         L"a/%2E%2e/%2e%2E/b", L".%2e/"};
        const wchar_t* const others[] = {L"/zefo/supportx/", L"/zefo/", L"/zefo/support",
                                         L"/other/zefo/support/", L"//zefo/support/"};
        if (pick_.Coin()) {
          a->path = prefix_path_ + climbs[pick_.Pick(std::size(climbs))];
        } else {
          // The prefix's path has to be the configured one; others are
          // refused unless they happen to equal it.
          const std::wstring other = others[pick_.Pick(std::size(others))];
          if (other.rfind(prefix_path_, 0) == 0) return NearMissVerdict::kEither;
          a->path = other;
        }
        return NearMissVerdict::kMustRefuse;
      }
      case 18: {  // what stays on the page's own host: path, query, fragment
        *change = "path";
        const wchar_t* const tails[] = {L"index.htm", L"?q=@evil.test", L"#\\\\evil.test",
                                        L"a\\b.htm", L"x%2fy"};
        if (kind_ == Kind::kPrefix)
          a->path = prefix_path_ + tails[pick_.Pick(std::size(tails))];
        else
          a->path = std::wstring(L"/") + tails[pick_.Pick(std::size(tails))];
        // A "\\" in a prefix page's path is a segment divider to a browser.
        return NearMissVerdict::kMustAllow;
      }
      default: {  // a bracketed host
        *change = "brackets";
        a->host = L"[" + a->host + L"]";
        return NearMissVerdict::kMustRefuse;
      }
    }
  }

  Choices pick_;
  const PageAllowList& list_;
  Kind kind_ = Kind::kExact;
  unsigned exact_ = 0;
  std::wstring suffix_, prefix_path_, allowed_host_;
};

}  // namespace

NearMiss MakeNearMiss(const std::uint8_t* data, std::size_t size, const PageAllowList& list) {
  return Generator(data, size, list).Make();
}

NearMiss NearMissOfSeed(std::uint64_t seed, const PageAllowList& list) {
  // splitmix64: well-spread bytes from consecutive seeds.
  std::uint8_t bytes[64];
  std::uint64_t state = seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
  for (std::size_t i = 0; i < sizeof(bytes); i += 8) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    for (std::size_t b = 0; b < 8; ++b) bytes[i + b] = static_cast<std::uint8_t>(z >> (8 * b));
  }
  return MakeNearMiss(bytes, sizeof(bytes), list);
}

std::string NarrowForMessage(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(c >> shift) & 0xF]);
    }
  }
  return out;
}

NearMissTally JudgeNearMisses(const std::function<bool(const std::wstring&)>& allowed,
                              std::uint64_t count) {
  NearMissTally tally;
  for (std::uint64_t seed = 0; seed < count; ++seed) {
    const NearMiss m = NearMissOfSeed(seed);
    if (m.verdict == NearMissVerdict::kEither) continue;
    const bool must_allow = m.verdict == NearMissVerdict::kMustAllow;
    ++(must_allow ? tally.must_allow : tally.must_refuse);
    if (allowed(m.address) != must_allow)
      tally.wrong.push_back(std::to_string(seed) + (must_allow ? " refused (" : " allowed (") +
                            m.change + "): " + NarrowForMessage(m.address));
  }
  return tally;
}

}  // namespace zu::test
