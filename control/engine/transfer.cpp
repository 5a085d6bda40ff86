#include "control/engine/transfer.h"

#include <memory>

#include "common/settings_file.h"

DWORD TransferReceiveTimeout() {
  int ms = ReadReceiveTimeout();
  return ms > 0 ? static_cast<DWORD>(ms) : 0;
}

bool PartialFile::Open(const std::wstring& path, bool keep) {
  // Others may read it (the dialog of a later run, a person looking); no
  // one else writes it.
  file_.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            keep ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) return false;
  LARGE_INTEGER end = {};
  if (!::SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &end, FILE_END)) {
    file_.reset();
    return false;
  }
  size_ = static_cast<std::uint64_t>(end.QuadPart);
  return true;
}

bool PartialFile::Append(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    DWORD written = 0;
    if (!::WriteFile(file_.get(), p, static_cast<DWORD>(n), &written, nullptr) || written == 0)
      return false;
    p += written;
    n -= written;
    size_ += written;
  }
  return ::FlushFileBuffers(file_.get()) != FALSE;
}

bool PartialFile::Restart() {
  LARGE_INTEGER zero = {};
  if (!::SetFilePointerEx(file_.get(), zero, nullptr, FILE_BEGIN) || !::SetEndOfFile(file_.get()))
    return false;
  size_ = 0;
  return true;
}

TransferResult PumpBlocks(const std::function<long long(char*, std::size_t)>& read,
                          std::size_t block_size, PartialFile& file, ITransferProgress& progress) {
  std::unique_ptr<char[]> block(new char[block_size]);
  for (;;) {
    long long n = read(block.get(), block_size);
    if (n < 0) return TransferResult::kFailed;
    if (n == 0) return TransferResult::kComplete;
    if (!file.Append(block.get(), static_cast<std::size_t>(n))) return TransferResult::kFailed;
    progress.AddCurrentBytes(static_cast<std::uint64_t>(n));
    if (progress.PausedThenCancelled()) return TransferResult::kCancelled;
  }
}
