#include "common/patch_list.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/framework/handle.h"
#include "common/platform.h"
#include "common/update_folder.h"

using patch_list::PatchRecord;

namespace {

// Far beyond any run a page queues (about 50,000 records): a larger file
// is not read into memory.
constexpr std::uint64_t kMaxListBytes = 64ull << 20;

zu::UniqueFile OpenList(const std::wstring& path, bool write) {
  return zu::UniqueFile(::CreateFileW(path.c_str(), write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadAt(HANDLE file, std::uint64_t offset, void* data, DWORD bytes) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ::ReadFile(file, data, bytes, &got, nullptr) && got == bytes;
}

bool WriteAt(HANDLE file, std::uint64_t offset, const void* data, DWORD bytes) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD put = 0;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ::WriteFile(file, data, bytes, &put, nullptr) && put == bytes;
}

// The size and the record count of an open list; 0 records for a
// damaged one.
std::int32_t CountOf(HANDLE file, std::uint64_t* size) {
  LARGE_INTEGER length;
  std::uint8_t trailer[patch_list::kTrailerBytes];
  if (!::GetFileSizeEx(file, &length) || length.QuadPart < patch_list::kTrailerBytes) return 0;
  *size = static_cast<std::uint64_t>(length.QuadPart);
  if (!ReadAt(file, *size - patch_list::kTrailerBytes, trailer, sizeof trailer)) return 0;
  return patch_list::RecordCount(*size, trailer);
}

}  // namespace

std::wstring PatchListPath() { return std::wstring(kUpdateFolder) + L"\\PatchList.dat"; }

CWrapIniOper::CWrapIniOper(std::wstring path) : path_(std::move(path)) {
  const std::size_t slash = path_.rfind(L'\\');
  if (slash != std::wstring::npos &&
      zu::EqualsIgnoringAsciiCase(std::wstring_view(path_).substr(0, slash), kUpdateFolder))
    EnsureUpdateFolder();
  if (!Exists()) return;
  zu::UniqueFile file = OpenList(path_, false);
  std::uint64_t size = 0;
  if (file) count_ = CountOf(file.get(), &size);
}

bool CWrapIniOper::Exists() const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return ::GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data) &&
         !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         (data.nFileSizeHigh != 0 || data.nFileSizeLow != 0);
}

bool CWrapIniOper::Transfer(std::int32_t record, int column, void* data, std::uint32_t bytes,
                            bool write) {
  // Each kind of cell has its own width, so a value of the column's kind is
  // exactly as wide as the column.
  if (!patch_list::IsColumn(column) || bytes != patch_list::kColumnWidths[column]) return false;
  if (!Exists()) return false;
  if (write && !IsUserAdministrator()) return false;
  zu::UniqueFile file = OpenList(path_, write);
  if (!file) return false;
  std::uint64_t size = 0, offset = 0;
  count_ = CountOf(file.get(), &size);
  if (!patch_list::CellOffset(count_, record, column, &offset)) return false;
  return write ? WriteAt(file.get(), offset, data, bytes) : ReadAt(file.get(), offset, data, bytes);
}

bool CWrapIniOper::ReadInt(std::int32_t record, int column, std::int32_t* value) {
  std::uint8_t cell[4];
  if (!Transfer(record, column, cell, sizeof cell, false)) return false;
  *value = patch_list::DecodeInt32(cell);
  return true;
}

bool CWrapIniOper::WriteInt(std::int32_t record, int column, std::int32_t value) {
  std::uint8_t cell[4];
  patch_list::EncodeInt32(value, cell);
  return Transfer(record, column, cell, sizeof cell, true);
}

bool CWrapIniOper::WriteInt64(std::int32_t record, int column, std::int64_t value) {
  std::uint8_t cell[8];
  patch_list::EncodeInt64(value, cell);
  return Transfer(record, column, cell, sizeof cell, true);
}

bool CWrapIniOper::ReadString(std::int32_t record, int column, std::wstring* text) {
  std::uint8_t cell[patch_list::kTextUnits * 2] = {};
  if (!Transfer(record, column, cell, sizeof cell, false)) return false;
  *text = patch_list::DecodeText(cell, sizeof cell);
  return true;
}

bool CWrapIniOper::WriteString(std::int32_t record, int column, const std::wstring& text) {
  std::uint8_t cell[patch_list::kTextUnits * 2];
  patch_list::EncodeText(text, cell);
  return Transfer(record, column, cell, sizeof cell, true);
}

bool CWrapIniOper::CreateFromList(const std::vector<PatchRecord>& records) {
  if (!IsUserAdministrator()) return false;
  std::vector<PatchRecord> made;
  made.reserve(records.size());
  for (const PatchRecord& r : records) made.push_back(patch_list::NewRecord(r));
  const std::vector<std::uint8_t> bytes = patch_list::BuildFile(made);
  if (bytes.size() > kMaxListBytes) return false;
  // A new file, never one reached through whatever had the old name.
  ::DeleteFileW(path_.c_str());
  count_ = 0;
  zu::UniqueFile file(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  if (!WriteAt(file.get(), 0, bytes.data(), static_cast<DWORD>(bytes.size()))) {
    file.reset();
    ::DeleteFileW(path_.c_str());
    return false;
  }
  count_ = static_cast<std::int32_t>(made.size());
  return true;
}

bool CWrapIniOper::DeleteListFile() {
  count_ = 0;
  return ::DeleteFileW(path_.c_str()) != FALSE;
}

CWrapIniOper::ListRead CWrapIniOper::ReadAll(std::vector<PatchRecord>* records) {
  records->clear();
  if (!Exists()) return ListRead::kNoList;
  zu::UniqueFile file = OpenList(path_, false);
  if (!file) return ListRead::kFailed;
  std::uint64_t size = 0;
  count_ = CountOf(file.get(), &size);
  if (count_ == 0) return ListRead::kNoList;
  if (size > kMaxListBytes) return ListRead::kFailed;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!ReadAt(file.get(), 0, bytes.data(), static_cast<DWORD>(bytes.size())))
    return ListRead::kFailed;
  *records = patch_list::ParseFile(bytes.data(), bytes.size());
  return ListRead::kRead;
}

std::vector<PatchRecord> CWrapIniOper::Records() {
  std::vector<PatchRecord> records;
  ReadAll(&records);
  return records;
}

std::int32_t CWrapIniOper::FirstPhaseRebootLevel() {
  return patch_list::FirstPhaseRebootLevel(Records());
}
std::int32_t CWrapIniOper::FinalRebootLevel() { return patch_list::FinalRebootLevel(Records()); }
int CWrapIniOper::PendingSecondRuns() { return patch_list::PendingSecondRuns(Records()); }
bool CWrapIniOper::AllInstalled() { return patch_list::AllInstalled(Records()); }

bool CWrapIniOper::ExecutedList(std::wstring* list) {
  std::vector<PatchRecord> records;
  if (ReadAll(&records) == ListRead::kFailed) return false;
  *list = patch_list::ExecutedSpids(records);
  return true;
}

CWrapIniOper::DeleteResult CWrapIniOper::DeletePatchFile(const std::wstring& item) {
  DeleteResult result;
  for (const PatchRecord& r : Records()) {
    if (!zu::EqualsIgnoringAsciiCase(r.spid, item)) continue;
    result.found = true;
    if (!patch_list::IsModuleFilePath(r.path)) {
      result.file_missing = true;  // names nothing this list may delete
      return result;
    }
    const DWORD attrs = ::GetFileAttributesW(r.path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY))
      result.file_missing = true;
    else
      result.done = ::DeleteFileW(r.path.c_str()) != FALSE;
    const std::wstring folder = r.path.substr(0, r.path.rfind(L'\\'));
    if (::RemoveDirectoryW(folder.c_str())) result.done = true;
    return result;
  }
  return result;
}
