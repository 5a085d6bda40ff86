#include "tests/support/patch_list_file.h"

#include <windows.h>

namespace zu::test {

namespace {
// Width and offset of each column, as the table gives them.
constexpr int kWidth[16] = {256, 8, 256, 4, 256, 4, 4, 256, 4, 4, 4, 4, 4, 4, 4, 256};
constexpr int kOffset[16] = {0, 256, 264, 520, 524, 780, 784, 788, 1044, 1048, 1052, 1056,
                             1060, 1064, 1068, 1072};

std::int64_t LittleEndian(const unsigned char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return bytes == 4 ? static_cast<std::int32_t>(v) : static_cast<std::int64_t>(v);
}
}  // namespace

std::optional<std::vector<PatchListRow>> ReadPatchListFile(const std::wstring& path) {
  HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<unsigned char> b(::GetFileSize(f, nullptr));
  DWORD got = 0;
  const bool read = b.empty() || (::ReadFile(f, b.data(), static_cast<DWORD>(b.size()), &got,
                                             nullptr) && got == b.size());
  ::CloseHandle(f);
  if (!read || b.size() < 4) return std::nullopt;
  const std::int64_t n = LittleEndian(b.data() + b.size() - 4, 4);
  if (n < 0 || static_cast<std::uint64_t>(n) * 1328 + 4 != b.size()) return std::nullopt;
  std::vector<PatchListRow> rows(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) {
    for (int c = 0; c < 16; ++c) {
      const unsigned char* p = b.data() + kOffset[c] * n + i * kWidth[c];
      if (kWidth[c] == 256) {
        for (int u = 0; u < 128 && (p[2 * u] || p[2 * u + 1]); ++u)
          rows[i].text[c].push_back(static_cast<wchar_t>(p[2 * u] | p[2 * u + 1] << 8));
      } else {
        rows[i].number[c] = LittleEndian(p, kWidth[c]);
      }
    }
  }
  return rows;
}

}  // namespace zu::test
