#pragma once
// The record file of an installation run, C:\Update\PatchList.dat: 16
// column blocks, column-major, then the record count N as a signed 32-bit
// trailer; N x 1328 + 4 bytes in all, little-endian. Strings are UTF-16LE,
// at most 128 code units, zero-terminated when shorter. Plain C++ (no
// Windows headers): the control writes the file, the agent reads it, and
// both read whatever is on disk.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace patch_list {

enum Column : int {
  kColPath = 0,            // final local path of the downloaded file
  kColSize = 1,            // 64-bit size in bytes
  kColName = 2,            // display name
  kColAutoExec = 3,        // 1 when the engine runs the installer
  kColParameter = 4,       // the installer's command-line parameter
  kColPhaseFlag = 5,       // nonzero: a second run is pending or was needed
  kColFirstReboot = 6,     // reboot level after the first run
  kColUninstallPath = 7,
  kColInstallReboot = 8,   // reboot level after the final run
  kColBounding = 9,
  kColFirstStarted = 10,   // 1 once the first run began
  kColInstalled = 11,      // 1 once the installation is complete
  kColFirstLaunched = 12,  // 1 when the first run's process started
  kColFinalLaunched = 13,  // 1 when the completing run's process started
  kColTwoPhaseRestart = 14,  // 1 when columns 5 and 6 are both 1 at creation
  kColSpid = 15,           // the page's identifier of the update
};
inline constexpr int kColumnCount = 16;
inline constexpr std::array<std::uint32_t, kColumnCount> kColumnWidths = {
    256, 8, 256, 4, 256, 4, 4, 256, 4, 4, 4, 4, 4, 4, 4, 256};
inline constexpr std::uint32_t kRecordBytes = 1328;
inline constexpr std::uint32_t kTrailerBytes = 4;
inline constexpr std::size_t kTextUnits = 128;

// Reboot levels; larger values are ignored where levels are combined.
inline constexpr std::int32_t kRebootNone = 0;
inline constexpr std::int32_t kRebootRestart = 1;
inline constexpr std::int32_t kRebootShutdown = 2;

enum class CellKind { kInt32, kInt64, kText };
// kInt32 for an index outside 0..15 too; callers check the index first.
CellKind KindOf(int column);
bool IsColumn(int column);

// Bytes of a file of n records (n >= 0).
std::uint64_t FileLength(std::int32_t n);
// The record count of a file `length` bytes long whose last four bytes are
// `trailer`: N only when the length is exactly N x 1328 + 4 for N >= 0; a
// truncated, padded or otherwise damaged file counts as no records.
std::int32_t RecordCount(std::uint64_t length, const std::uint8_t* trailer);
// Where cell (record, column) starts in a file of n records; false when
// record is not below n or column is not a column.
bool CellOffset(std::int32_t n, std::int32_t record, int column, std::uint64_t* offset);

std::int32_t DecodeInt32(const std::uint8_t* p);
std::int64_t DecodeInt64(const std::uint8_t* p);
void EncodeInt32(std::int32_t v, std::uint8_t* p);
void EncodeInt64(std::int64_t v, std::uint8_t* p);
// The text of a string cell of `bytes` bytes: code units up to the first
// zero unit, at most 128.
std::wstring DecodeText(const std::uint8_t* p, std::size_t bytes);
// Fills a whole 256-byte string cell: the text's first 128 code units (one
// fewer when the 128th would be the first half of a surrogate pair), then
// zeros.
void EncodeText(const std::wstring& text, std::uint8_t* p);
// Whether the text is stored whole. Paths that do not fit are written
// empty instead: a cut path would name some other file.
bool FitsTextCell(const std::wstring& text);

struct PatchRecord {
  std::wstring path;
  std::int64_t size = 0;
  std::wstring name;
  std::int32_t auto_exec = 0;
  std::wstring parameter;
  std::int32_t phase_flag = 0;
  std::int32_t first_reboot = 0;
  std::wstring uninstall_path;
  std::int32_t install_reboot = 0;
  std::int32_t bounding = 0;
  std::int32_t first_started = 0;
  std::int32_t installed = 0;
  std::int32_t first_launched = 0;
  std::int32_t final_launched = 0;
  std::int32_t two_phase_restart = 0;
  std::wstring spid;

  bool operator==(const PatchRecord&) const = default;
  // Integer column (any but 0, 2, 4, 7, 15) as a 64-bit value.
  std::int64_t Int(int column) const;
  void SetInt(int column, std::int64_t v);
  // String column (0, 2, 4, 7, 15).
  const std::wstring& Text(int column) const;
  void SetText(int column, const std::wstring& text);
};

// A record as the run creates it: columns 10 to 13 zero, column 14 from
// columns 5 and 6, a path that does not fit stored empty.
PatchRecord NewRecord(PatchRecord from);

// The file bytes of these records.
std::vector<std::uint8_t> BuildFile(const std::vector<PatchRecord>& records);
// The records of a file; a damaged file gives none.
std::vector<PatchRecord> ParseFile(const std::uint8_t* data, std::size_t size);

// --- Rules over the records --------------------------------------------------------

// Max over records whose first run's process started (column 12 = 1) of
// column 6 when the record needs a second run (column 5 nonzero), else
// column 8; levels above 2 are ignored; 0 for no records.
std::int32_t FirstPhaseRebootLevel(const std::vector<PatchRecord>& records);
// Max of column 8 over records with column 5 nonzero whose completing
// run's process started (column 13 = 1); levels above 2 ignored.
std::int32_t FinalRebootLevel(const std::vector<PatchRecord>& records);
// Records with auto-execute 1 and phase flag 1 whose installation is not
// complete (a second run that already happened is not pending).
int PendingSecondRuns(const std::vector<PatchRecord>& records);
// Every record's column 11 nonzero (true for no records).
bool AllInstalled(const std::vector<PatchRecord>& records);
// SPIDs of the records whose first run began or that are installed, in
// record order, joined with ","; empty SPIDs add nothing.
std::wstring ExecutedSpids(const std::vector<PatchRecord>& records);

// A decimal text as the C library converts it (an installer's "InstallFlg"
// or "RebootFlg", the page's numeric module fields): optional white space
// and sign, then decimal digits up to the first other character; no digits
// is 0; beyond 32 bits saturates instead of wrapping.
std::int32_t FlagNumber(const std::wstring& text);

// Whether a path names a file in a module folder of the update folder,
// "C:\Update\<folder>\<file>" (letters in any case), with no "." or ".."
// component, no further separator and no "/" : the only files a patch
// record may have the control delete.
bool IsModuleFilePath(const std::wstring& path);

}  // namespace patch_list
