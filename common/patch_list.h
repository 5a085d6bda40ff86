#pragma once
// CWrapIniOper: C:\Update\PatchList.dat on disk. Every access opens the
// file, checks that it holds a well-formed list, transfers and closes it
// again; file errors come back as false, never as exceptions. Only an
// administrator may change the list; everyone may read it.
#include <cstdint>
#include <string>
#include <vector>

#include "common/patch_list_format.h"

// C:\Update\PatchList.dat.
std::wstring PatchListPath();

class CWrapIniOper {
 public:
  // Makes sure of C:\Update (through its one owner) when the list lives
  // there, and reads the record count. Tests name a file in a folder they
  // made.
  explicit CWrapIniOper(std::wstring path = PatchListPath());
  virtual ~CWrapIniOper() = default;
  CWrapIniOper(const CWrapIniOper&) = delete;
  CWrapIniOper& operator=(const CWrapIniOper&) = delete;

  const std::wstring& path() const { return path_; }
  // The record count as the last access found it.
  std::int32_t count() const { return count_; }
  // The file exists and is not empty.
  bool Exists() const;

  // One cell. False when the file is missing, empty or not a well-formed
  // list, the record is not below the count, the column is not one of the
  // 16 or is not of the value's kind, on a file error, and for writes
  // when the caller is not an administrator.
  bool ReadInt(std::int32_t record, int column, std::int32_t* value);
  bool WriteInt(std::int32_t record, int column, std::int32_t value);
  bool WriteInt64(std::int32_t record, int column, std::int64_t value);
  bool ReadString(std::int32_t record, int column, std::wstring* text);
  bool WriteString(std::int32_t record, int column, const std::wstring& text);

  // Replaces the file with one record per entry (see patch_list::NewRecord).
  // False, and no file left, when it cannot be written whole.
  bool CreateFromList(const std::vector<patch_list::PatchRecord>& records);
  // True when the file was deleted.
  bool DeleteListFile();

  enum class ListRead { kNoList, kRead, kFailed };
  // The whole list in one access: kNoList for a missing, empty or damaged
  // file (records empty), kFailed when it opened but could not be read.
  ListRead ReadAll(std::vector<patch_list::PatchRecord>* records);

  std::int32_t FirstPhaseRebootLevel();
  std::int32_t FinalRebootLevel();
  int PendingSecondRuns();
  bool AllInstalled();
  // GetExecutedPatches: the SPIDs list; false when the list could not be read.
  bool ExecutedList(std::wstring* list);

  // DeletePatchFile: the first record whose SPID equals item (ASCII case
  // ignored) names a file; that file is deleted, then its folder when
  // empty. Only files of a module folder of C:\Update count as named.
  struct DeleteResult {
    bool found = false;         // a record matched
    bool file_missing = false;  // the named file was not there (or not a module file)
    bool done = false;          // the file was deleted or its folder removed
  };
  DeleteResult DeletePatchFile(const std::wstring& item);

 private:
  std::vector<patch_list::PatchRecord> Records();
  bool Transfer(std::int32_t record, int column, void* data, std::uint32_t bytes, bool write);

  std::wstring path_;
  std::int32_t count_ = 0;
};
