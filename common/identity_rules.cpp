#include "common/identity_rules.h"

#include <cstring>
#include <utility>

namespace {

constexpr std::uint32_t kRegSz = 1;        // REG_SZ
constexpr std::uint32_t kRegExpandSz = 2;  // REG_EXPAND_SZ

}  // namespace

std::wstring NormalizeIdentifyingNumber(const std::wstring& identifying_number) {
  std::wstring text = identifying_number;
  const std::size_t end = text.find_last_not_of(L' ');
  text.erase(end == std::wstring::npos ? 0 : end + 1);
  for (wchar_t& c : text)
    if (c == L' ') c = L'-';
  return text;
}

bool SplitIdentifyingNumber(const std::wstring& identifying_number, std::wstring* model_code,
                            std::wstring* serial_number) {
  const std::wstring text = NormalizeIdentifyingNumber(identifying_number);
  const std::size_t dash = text.find(L'-');
  if (dash == std::wstring::npos) return false;
  *model_code = text.substr(0, dash);
  *serial_number = text.substr(dash + 1);
  return true;
}

bool DecodeComponentText(std::uint32_t type, const void* data, std::size_t bytes,
                         std::wstring* text) {
  if (type != kRegSz && type != kRegExpandSz) return false;
  // The reader's buffer holds the longest text and its terminator.
  if (bytes > (kComponentTextMax + 1) * sizeof(wchar_t)) return false;
  const std::size_t units = bytes / sizeof(wchar_t);
  std::wstring raw(units, L'\0');
  if (units) std::memcpy(raw.data(), data, units * sizeof(wchar_t));
  const std::size_t nul = raw.find(L'\0');
  if (nul != std::wstring::npos) raw.erase(nul);
  // Stored without a terminator and filling the buffer: no room for one.
  if (raw.size() > kComponentTextMax) return false;
  *text = std::move(raw);
  return true;
}

bool IsUsableKeyName(const std::wstring& id) {
  constexpr std::size_t kRegistryKeyNameMax = 255;
  return !id.empty() && id.size() <= kRegistryKeyNameMax &&
         id.find(L'\\') == std::wstring::npos && id.find(L'\0') == std::wstring::npos;
}
