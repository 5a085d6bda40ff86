#pragma once
// One module's transfer into its partial file, as the download run hands
// it to the HTTP and FTP transfers: what to fetch, and the run's counters
// and flags the transfer keeps current and polls.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "common/framework/handle.h"

enum class TransferResult { kComplete = 0, kFailed = 1, kCancelled = 2 };

struct TransferRequest {
  std::wstring url;
  std::wstring partial_path;
  std::uint64_t expected_bytes = 0;  // the module's size; 0 = unknown
};

// The run a transfer belongs to (CFileDownloader).
class ITransferProgress {
 public:
  // Whether partial files are continued in this run.
  virtual bool resume() const = 0;
  // For the rest of the run (FTP behind a proxy).
  virtual void ClearResume() = 0;
  // Bytes of the current file on disk, a resumed part included.
  virtual std::uint64_t current_bytes() const = 0;
  virtual void SetCurrentBytes(std::uint64_t n) = 0;
  virtual void AddCurrentBytes(std::uint64_t n) = 0;
  // Waits in 1000 ms steps while the run is paused; true when it has been
  // cancelled.
  virtual bool PausedThenCancelled() = 0;

 protected:
  ~ITransferProgress() = default;
};

using Transfer = std::function<TransferResult(const TransferRequest&, ITransferProgress&)>;
TransferResult HttpTransfer(const TransferRequest& request, ITransferProgress& progress);
TransferResult FtpTransfer(const TransferRequest& request, ITransferProgress& progress);

// Bytes a transfer reads at a time.
inline constexpr std::size_t kTransferBlockBytes = 65536;

// "Option" "ReceiveTimeout" of the settings file in milliseconds, read
// anew for every transfer; 6000 when unset.
DWORD TransferReceiveTimeout();

// The partial file a transfer writes: every block goes to the end of the
// file and is flushed before the next read, so that an interrupted run
// leaves a file a later run can continue.
class PartialFile {
 public:
  // keep: continue the file (created when missing); otherwise start empty.
  bool Open(const std::wstring& path, bool keep);
  bool Append(const void* data, std::size_t n);
  // Back to empty, for a whole body that arrives instead of the rest.
  bool Restart();
  std::uint64_t size() const { return size_; }

 private:
  zu::UniqueFile file_;
  std::uint64_t size_ = 0;
};

// Reads blocks with read() until it answers 0 (end) or -1 (failure), writing
// each to the file and counting it; polls pause and cancel after each block.
TransferResult PumpBlocks(const std::function<long long(char* buffer, std::size_t size)>& read,
                          std::size_t block_size, PartialFile& file, ITransferProgress& progress);
