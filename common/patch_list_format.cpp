#include "common/patch_list_format.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "common/file_name_rules.h"
#include "common/update_folder.h"

namespace patch_list {

namespace {

constexpr std::array<std::uint32_t, kColumnCount> Offsets() {
  std::array<std::uint32_t, kColumnCount> offsets{};
  std::uint32_t sum = 0;
  for (int c = 0; c < kColumnCount; ++c) {
    offsets[c] = sum;
    sum += kColumnWidths[c];
  }
  return offsets;
}
constexpr std::array<std::uint32_t, kColumnCount> kOffsets = Offsets();
static_assert(kOffsets[kColSpid] + kColumnWidths[kColSpid] == kRecordBytes);
static_assert(kOffsets[kColTwoPhaseRestart] == 1068 && kOffsets[kColParameter] == 524);
static_assert(kColumnWidths[kColPath] == kTextUnits * 2);

bool IsTextColumn(int c) {
  return c == kColPath || c == kColName || c == kColParameter || c == kColUninstallPath ||
         c == kColSpid;
}

std::int32_t Max3(std::int32_t level, std::int32_t candidate) {
  return candidate <= kRebootShutdown ? std::max(level, candidate) : level;
}

// A component that names a file or folder of its own: not empty, not
// made of dots only, no separators or wildcards.
bool IsPlainComponent(const std::wstring& s) {
  if (s.find_first_not_of(L'.') == std::wstring::npos) return false;
  return std::all_of(s.begin(), s.end(), zu::IsFileNameChar);
}


}  // namespace

CellKind KindOf(int column) {
  if (column == kColSize) return CellKind::kInt64;
  return IsTextColumn(column) ? CellKind::kText : CellKind::kInt32;
}

bool IsColumn(int column) { return column >= 0 && column < kColumnCount; }

std::uint64_t FileLength(std::int32_t n) {
  return static_cast<std::uint64_t>(n < 0 ? 0 : n) * kRecordBytes + kTrailerBytes;
}

std::int32_t RecordCount(std::uint64_t length, const std::uint8_t* trailer) {
  if (length < kTrailerBytes) return 0;
  const std::int32_t n = DecodeInt32(trailer);
  if (n < 0) return 0;
  return FileLength(n) == length ? n : 0;
}

bool CellOffset(std::int32_t n, std::int32_t record, int column, std::uint64_t* offset) {
  if (!IsColumn(column) || record < 0 || record >= n) return false;
  *offset = static_cast<std::uint64_t>(kOffsets[column]) * static_cast<std::uint64_t>(n) +
            static_cast<std::uint64_t>(record) * kColumnWidths[column];
  return true;
}

std::int32_t DecodeInt32(const std::uint8_t* p) {
  const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                          static_cast<std::uint32_t>(p[2]) << 16 |
                          static_cast<std::uint32_t>(p[3]) << 24;
  return static_cast<std::int32_t>(u);
}

std::int64_t DecodeInt64(const std::uint8_t* p) {
  std::uint64_t u = 0;
  for (int i = 7; i >= 0; --i) u = u << 8 | p[i];
  return static_cast<std::int64_t>(u);
}

void EncodeInt32(std::int32_t v, std::uint8_t* p) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

void EncodeInt64(std::int64_t v, std::uint8_t* p) {
  const auto u = static_cast<std::uint64_t>(v);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::wstring DecodeText(const std::uint8_t* p, std::size_t bytes) {
  std::wstring text;
  const std::size_t units = std::min(bytes / 2, kTextUnits);
  for (std::size_t i = 0; i < units; ++i) {
    const wchar_t c = static_cast<wchar_t>(p[2 * i] | p[2 * i + 1] << 8);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

void EncodeText(const std::wstring& text, std::uint8_t* p) {
  std::size_t units = std::min(text.size(), kTextUnits);
  // Never keep the first half of a pair without its second.
  if (units < text.size() && units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF)
    --units;
  std::fill(p, p + kTextUnits * 2, std::uint8_t{0});
  for (std::size_t i = 0; i < units; ++i) {
    const auto c = static_cast<std::uint16_t>(text[i]);
    p[2 * i] = static_cast<std::uint8_t>(c);
    p[2 * i + 1] = static_cast<std::uint8_t>(c >> 8);
  }
}

bool FitsTextCell(const std::wstring& text) {
  return text.size() <= kTextUnits && text.find(L'\0') == std::wstring::npos;
}

std::int64_t PatchRecord::Int(int column) const {
  switch (column) {
    case kColSize: return size;
    case kColAutoExec: return auto_exec;
    case kColPhaseFlag: return phase_flag;
    case kColFirstReboot: return first_reboot;
    case kColInstallReboot: return install_reboot;
    case kColBounding: return bounding;
    case kColFirstStarted: return first_started;
    case kColInstalled: return installed;
    case kColFirstLaunched: return first_launched;
    case kColFinalLaunched: return final_launched;
    case kColTwoPhaseRestart: return two_phase_restart;
    default: return 0;
  }
}

void PatchRecord::SetInt(int column, std::int64_t v) {
  const auto v32 = static_cast<std::int32_t>(v);
  switch (column) {
    case kColSize: size = v; break;
    case kColAutoExec: auto_exec = v32; break;
    case kColPhaseFlag: phase_flag = v32; break;
    case kColFirstReboot: first_reboot = v32; break;
    case kColInstallReboot: install_reboot = v32; break;
    case kColBounding: bounding = v32; break;
    case kColFirstStarted: first_started = v32; break;
    case kColInstalled: installed = v32; break;
    case kColFirstLaunched: first_launched = v32; break;
    case kColFinalLaunched: final_launched = v32; break;
    case kColTwoPhaseRestart: two_phase_restart = v32; break;
    default: break;
  }
}

const std::wstring& PatchRecord::Text(int column) const {
  switch (column) {
    case kColPath: return path;
    case kColName: return name;
    case kColParameter: return parameter;
    case kColUninstallPath: return uninstall_path;
    default: return spid;
  }
}

void PatchRecord::SetText(int column, const std::wstring& text) {
  switch (column) {
    case kColPath: path = text; break;
    case kColName: name = text; break;
    case kColParameter: parameter = text; break;
    case kColUninstallPath: uninstall_path = text; break;
    case kColSpid: spid = text; break;
    default: break;
  }
}

PatchRecord NewRecord(PatchRecord from) {
  if (!FitsTextCell(from.path)) from.path.clear();
  if (!FitsTextCell(from.uninstall_path)) from.uninstall_path.clear();
  from.first_started = from.installed = from.first_launched = from.final_launched = 0;
  from.two_phase_restart = from.first_reboot == 1 && from.phase_flag == 1 ? 1 : 0;
  return from;
}

std::vector<std::uint8_t> BuildFile(const std::vector<PatchRecord>& records) {
  const auto n = static_cast<std::int32_t>(records.size());
  std::vector<std::uint8_t> bytes(FileLength(n), 0);
  for (std::int32_t i = 0; i < n; ++i) {
    for (int c = 0; c < kColumnCount; ++c) {
      std::uint64_t at = 0;
      CellOffset(n, i, c, &at);
      std::uint8_t* p = bytes.data() + at;
      switch (KindOf(c)) {
        case CellKind::kText: EncodeText(records[i].Text(c), p); break;
        case CellKind::kInt64: EncodeInt64(records[i].Int(c), p); break;
        case CellKind::kInt32:
          EncodeInt32(static_cast<std::int32_t>(records[i].Int(c)), p);
          break;
      }
    }
  }
  EncodeInt32(n, bytes.data() + bytes.size() - kTrailerBytes);
  return bytes;
}

std::vector<PatchRecord> ParseFile(const std::uint8_t* data, std::size_t size) {
  std::vector<PatchRecord> records;
  if (size < kTrailerBytes) return records;
  const std::int32_t n = RecordCount(size, data + size - kTrailerBytes);
  records.resize(static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    for (int c = 0; c < kColumnCount; ++c) {
      std::uint64_t at = 0;
      CellOffset(n, i, c, &at);
      const std::uint8_t* p = data + at;
      switch (KindOf(c)) {
        case CellKind::kText: records[i].SetText(c, DecodeText(p, kColumnWidths[c])); break;
        case CellKind::kInt64: records[i].SetInt(c, DecodeInt64(p)); break;
        case CellKind::kInt32: records[i].SetInt(c, DecodeInt32(p)); break;
      }
    }
  }
  return records;
}

std::int32_t FirstPhaseRebootLevel(const std::vector<PatchRecord>& records) {
  std::int32_t level = kRebootNone;
  for (const PatchRecord& r : records) {
    if (r.first_launched != 1) continue;
    level = Max3(level, r.phase_flag != 0 ? r.first_reboot : r.install_reboot);
  }
  return level;
}

std::int32_t FinalRebootLevel(const std::vector<PatchRecord>& records) {
  std::int32_t level = kRebootNone;
  for (const PatchRecord& r : records)
    if (r.phase_flag != 0 && r.final_launched == 1) level = Max3(level, r.install_reboot);
  return level;
}

int PendingSecondRuns(const std::vector<PatchRecord>& records) {
  return static_cast<int>(std::count_if(records.begin(), records.end(), [](const PatchRecord& r) {
    return r.auto_exec == 1 && r.phase_flag == 1 && r.installed == 0;
  }));
}

bool AllInstalled(const std::vector<PatchRecord>& records) {
  return std::all_of(records.begin(), records.end(),
                     [](const PatchRecord& r) { return r.installed != 0; });
}

std::wstring ExecutedSpids(const std::vector<PatchRecord>& records) {
  std::wstring list;
  for (const PatchRecord& r : records) {
    if ((r.first_started != 1 && r.installed != 1) || r.spid.empty()) continue;
    if (!list.empty()) list.push_back(L',');
    list += r.spid;
  }
  return list;
}

std::int32_t FlagNumber(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > INT32_MAX + 1LL) value = INT32_MAX + 1LL;
  }
  if (negative) value = -value;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

bool IsModuleFilePath(const std::wstring& path) {
  const std::wstring prefix = std::wstring(kUpdateFolder) + L"\\";
  if (path.size() <= prefix.size()) return false;
  if (!zu::EqualsIgnoringAsciiCase(std::wstring_view(path).substr(0, prefix.size()), prefix))
    return false;
  const std::wstring rest = path.substr(prefix.size());
  const std::size_t slash = rest.find(L'\\');
  if (slash == std::wstring::npos) return false;
  return IsPlainComponent(rest.substr(0, slash)) && IsPlainComponent(rest.substr(slash + 1));
}

}  // namespace patch_list
