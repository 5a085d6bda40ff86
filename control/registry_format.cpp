#include "control/registry_format.h"

#include <cstring>

namespace {

constexpr std::uint32_t kNone = 0, kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4,
                        kDwordBigEndian = 5, kMultiSz = 7, kQword = 11;

struct RootName {
  const wchar_t* name;
  RegistryRoot root;
};
constexpr RootName kRoots[] = {
    {L"HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
    {L"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
    {L"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
    {L"HKEY_USERS", RegistryRoot::kUsers},
};

const wchar_t kHex[] = L"0123456789abcdef";

void AppendHexByte(std::wstring* out, std::uint8_t b) {
  out->push_back(kHex[b >> 4]);
  out->push_back(kHex[b & 15]);
}

}  // namespace

PathSplit SplitRegistryPath(const std::wstring& path, RegistryRoot* root, std::wstring* subkey) {
  const std::size_t sep = path.find(L'\\');
  if (sep == std::wstring::npos) return PathSplit::kNoSeparator;
  const std::wstring name = path.substr(0, sep);
  for (const RootName& r : kRoots) {
    if (name == r.name) {
      *root = r.root;
      *subkey = path.substr(sep + 1);
      return PathSplit::kOk;
    }
  }
  return PathSplit::kUnknownRoot;
}

std::wstring FormatValueText(std::uint32_t type, const void* data, std::size_t bytes) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::wstring text;
  switch (type) {
    case kSz: {
      text.push_back(L'"');
      // A stray odd byte is no code unit; a unit whose low byte is 0 ends
      // the text as the null of a byte string would.
      for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        if (p[i] == 0) break;
        text.push_back(static_cast<wchar_t>(p[i]));
      }
      text.push_back(L'"');
      return text;
    }
    case kDword: {
      std::uint8_t v[4] = {};
      if (bytes) std::memcpy(v, p, bytes < 4 ? bytes : 4);
      const std::uint32_t value = v[0] | (v[1] << 8) | (v[2] << 16) | (std::uint32_t(v[3]) << 24);
      text = L"dword:";
      for (int shift = 28; shift >= 0; shift -= 4) text.push_back(kHex[(value >> shift) & 15]);
      return text;
    }
    case kBinary:
      text = L"hex:";
      for (std::size_t i = 0; i < bytes; ++i) {
        if (i) text.push_back(L',');
        AppendHexByte(&text, p[i]);
      }
      return text;
    default:
      return text;
  }
}

const wchar_t* RegistryTypeLabel(std::uint32_t type) {
  switch (type) {
    case kNone:
      return L"(No defined)";
    case kSz:
      return L"(STRING)";
    case kExpandSz:
      return L"(EXPAND_STRING)";
    case kBinary:
      return L"(BINARY)";
    case kDword:
    case kDwordBigEndian:
      return L"(DWORD)";
    case kMultiSz:
      return L"(MULTI_STRING)";
    case kQword:
      return L"(QWORD)";
    default:
      return nullptr;
  }
}

void RegistryListingText::AddSubKey(const std::wstring& name) {
  text_ += name;
  text_ += L'\n';
}

void RegistryListingText::BeginValues() { text_ += L"\nVALUES:\n"; }

std::wstring RegistryListingText::AddValue(const std::wstring& name, std::uint32_t type) {
  const wchar_t* label = RegistryTypeLabel(type);
  if (!label) return std::wstring();
  std::wstring entry = name + label;
  text_ += entry;
  text_ += L'\n';
  return entry;
}
