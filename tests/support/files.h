#pragma once
// Files of the tests: where the test program lives, whole-file reads and
// writes, and the two ways of setting a file aside that put it back as it
// was: FileSnapshot keeps the file where it is, FileAside takes it away.
#include <windows.h>

#include <optional>
#include <string>

namespace zu::test {

std::wstring ThisProgram();  // the running test executable
std::wstring BinDir();       // its folder (build/bin), without the last backslash
std::wstring SpecialFolder(int csidl);
std::wstring SystemFile(const wchar_t* name);  // in the system folder: regsvr32.exe, cscript.exe
std::wstring TempPath(const std::wstring& name);  // in the temporary folder
bool FileExists(const std::wstring& path);
// Removes the files in the folder, then the folder (a test's scratch folder
// with no folders in it).
void RemoveFolder(const std::wstring& folder);
std::string ReadFileBytes(const std::wstring& path);  // empty when unreadable
// Replaces the file's content; false when it cannot be written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Gives Everyone full control of a file or folder (and of what a folder
// gets later); false when the system refused. Under Wine the Unix "other"
// bits become rwx.
bool LetEveryoneWrite(const std::wstring& path);

// The file's content now; on destruction the file holds that content again,
// or is removed when it did not exist (its folder is made when needed).
class FileSnapshot {
 public:
  explicit FileSnapshot(std::wstring path);
  ~FileSnapshot();
  FileSnapshot(const FileSnapshot&) = delete;
  FileSnapshot& operator=(const FileSnapshot&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
  std::optional<std::string> content_;
};

// Moves a file out of the way and back again; the file is absent in
// between. The saved file waits in the temporary folder, so the file's own
// folder can be emptied or removed while it is away.
class FileAside {
 public:
  explicit FileAside(std::wstring path);
  ~FileAside();
  FileAside(const FileAside&) = delete;
  FileAside& operator=(const FileAside&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_, saved_;
  bool moved_ = false;
};

// The control's debug file "C:\Update\Debug.ini" set aside for a test: absent
// until the test writes it, the machine's own back afterwards. A folder
// made for it goes again when it is empty then.
class DebugFileAside {
 public:
  static constexpr wchar_t kPath[] = L"C:\\Update\\Debug.ini";

  DebugFileAside();
  DebugFileAside(const DebugFileAside&) = delete;
  DebugFileAside& operator=(const DebugFileAside&) = delete;

  // Replaces the file's content; a failure fails the test.
  void Write(const std::string& ini) const;
  // "IgnoreURLCheck": every page passes the host page check.
  void AllowEveryPage() const;
  void Remove() const;

 private:
  struct FolderCleanup {
    bool made;
    ~FolderCleanup();
  };
  FolderCleanup folder_;  // destroyed after the file is back
  FileAside file_{kPath};
};

}  // namespace zu::test
