#pragma once
// PatchList.dat read by the tests themselves, straight from the column
// table, so that the product's reader is not what checks its writer.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zu::test {

struct PatchListRow {
  std::array<std::wstring, 16> text;     // string columns (0, 2, 4, 7, 15)
  std::array<std::int64_t, 16> number{};  // the others; column 1 is 64-bit
};

// Every row of the file, or nothing when its length is not N x 1328 + 4
// for the N in its last four bytes (or it cannot be read).
std::optional<std::vector<PatchListRow>> ReadPatchListFile(const std::wstring& path);

}  // namespace zu::test
