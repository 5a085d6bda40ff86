#include "tests/support/files.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <vector>

#include "common/framework/handle.h"
#include "tests/support/text.h"

namespace zu::test {
namespace {

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// Removes a file a test may have left read-only.
void Remove(const std::wstring& path) {
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(path.c_str());
}

}  // namespace

std::wstring ThisProgram() {
  std::vector<wchar_t> path(MAX_PATH * 4);
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return std::wstring(path.data(), n);
}

std::wstring BinDir() { return Folder(ThisProgram()); }

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring SystemFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH] = L"";
  ::GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\" + name;
}

std::wstring TempPath(const std::wstring& name) {
  wchar_t dir[MAX_PATH + 1] = L"";
  ::GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do ::DeleteFileW((folder + L"\\" + found.cFileName).c_str());
    while (::FindNextFileW(h, &found));
    ::FindClose(h);
  }
  ::RemoveDirectoryW(folder.c_str());
}

std::string ReadFileBytes(const std::wstring& path) {
  UniqueFile f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr));
  std::string out;
  if (!f) return out;
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(f.get(), buf, sizeof(buf), &n, nullptr) && n > 0) out.append(buf, n);
  return out;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFile f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  return f && ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
         n == bytes.size();
}

bool LetEveryoneWrite(const std::wstring& path) {
  UniqueLocal descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
          reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()), nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL list = nullptr;
  ::GetSecurityDescriptorDacl(descriptor.get(), &present, &list, &defaulted);
  return ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION, nullptr, nullptr, list,
                                 nullptr) == ERROR_SUCCESS;
}

FileSnapshot::FileSnapshot(std::wstring path) : path_(std::move(path)) {
  if (FileExists(path_)) content_ = ReadFileBytes(path_);
}

FileSnapshot::~FileSnapshot() {
  Remove(path_);
  if (!content_) return;
  ::SHCreateDirectoryExW(nullptr, Folder(path_).c_str(), nullptr);  // a test may have removed it
  if (!WriteFileBytes(path_, *content_)) ADD_FAILURE() << "could not put back " << Utf8(path_);
}

FileAside::FileAside(std::wstring path) : path_(std::move(path)) {
  static LONG count = 0;
  wchar_t tmp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH, tmp);
  saved_ = std::wstring(tmp) + L"zu-test-saved-" + std::to_wstring(::GetCurrentProcessId()) +
           L"-" + std::to_wstring(::InterlockedIncrement(&count));
  ::DeleteFileW(saved_.c_str());
  moved_ = ::MoveFileExW(path_.c_str(), saved_.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

FileAside::~FileAside() {
  Remove(path_);
  if (!moved_) return;
  ::SHCreateDirectoryExW(nullptr, Folder(path_).c_str(), nullptr);  // a test may have removed it
  if (!::MoveFileExW(saved_.c_str(), path_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    ADD_FAILURE() << "could not put back " << Utf8(path_);
}

DebugFileAside::DebugFileAside()
    : folder_{::CreateDirectoryW(L"C:\\Update", nullptr) != FALSE} {}

void DebugFileAside::Write(const std::string& ini) const {
  EXPECT_TRUE(WriteFileBytes(kPath, ini)) << "could not write the debug file";
}

void DebugFileAside::AllowEveryPage() const { Write("[General]\r\nIgnoreURLCheck=1\r\n"); }

void DebugFileAside::Remove() const { zu::test::Remove(kPath); }

DebugFileAside::FolderCleanup::~FolderCleanup() {
  if (made) ::RemoveDirectoryW(L"C:\\Update");
}

}  // namespace zu::test
