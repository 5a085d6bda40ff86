#include "common/update_folder.h"

#include <windows.h>
#include <sddl.h>

#include <initializer_list>
#include <optional>
#include <vector>

#include "common/framework/handle.h"
#include "common/object_security.h"
#include "common/platform.h"
#include "common/update_folder_seams.h"

namespace zu::seams {
CreateDirectoryFn create_directory = &::CreateDirectoryW;
SetObjectSecurityFn set_object_security = &::SetKernelObjectSecurity;
IsAdministratorFn is_administrator = &::IsUserAdministrator;
const wchar_t* update_folder = kUpdateFolder;
}  // namespace zu::seams

namespace {

using zu::ObjectKind;

// Owner Administrators; SYSTEM and Administrators full control and Users
// read and execute, on the folder and everything later made in it; nothing
// inherited from C:\, which lets every user add files and folders.
constexpr wchar_t kProtectedFolderSddl[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// The same list without the owner, which only an administrator may name.
constexpr wchar_t kProtectedListSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// The control's and the engine's spelling; one file on Windows, where
// names ignore case.
constexpr const wchar_t* kDebugFileNames[] = {L"Debug.ini", L"debug.ini"};

zu::UniqueLocal Descriptor(const wchar_t* sddl) {
  zu::UniqueLocal descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          sddl, SDDL_REVISION_1, reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
          nullptr))
    descriptor.reset();
  return descriptor;
}

// Enables privileges of the process token for a scope and puts back the
// state they had. An administrator needs them to open, take and re-protect
// a folder whose list leaves Administrators out.
class ScopedPrivileges {
 public:
  explicit ScopedPrivileges(std::initializer_list<const wchar_t*> names) {
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                            token_.put()))
      return;
    const size_t words = (sizeof(TOKEN_PRIVILEGES) + names.size() * sizeof(LUID_AND_ATTRIBUTES) +
                          sizeof(DWORD) - 1) / sizeof(DWORD);
    std::vector<DWORD> wanted_buffer(words);
    previous_.assign(words, 0);
    auto* wanted = reinterpret_cast<TOKEN_PRIVILEGES*>(wanted_buffer.data());
    for (const wchar_t* name : names) {
      LUID luid;
      if (::LookupPrivilegeValueW(nullptr, name, &luid))
        wanted->Privileges[wanted->PrivilegeCount++] = {luid, SE_PRIVILEGE_ENABLED};
    }
    DWORD bytes = 0;
    adjusted_ = ::AdjustTokenPrivileges(token_.get(), FALSE, wanted,
                                        static_cast<DWORD>(previous_.size() * sizeof(DWORD)),
                                        reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()),
                                        &bytes) != FALSE;
  }
  ~ScopedPrivileges() {
    if (adjusted_)
      ::AdjustTokenPrivileges(token_.get(), FALSE,
                              reinterpret_cast<TOKEN_PRIVILEGES*>(previous_.data()), 0, nullptr,
                              nullptr);
  }
  ScopedPrivileges(const ScopedPrivileges&) = delete;
  ScopedPrivileges& operator=(const ScopedPrivileges&) = delete;

 private:
  zu::UniqueHandle token_;
  std::vector<DWORD> previous_;
  bool adjusted_ = false;
};

zu::SecurityCaller Caller(bool admin) { return {zu::CurrentUserSid(), admin}; }

bool IsSafe(const zu::ObjectState& state, const zu::SecurityCaller& caller) {
  return zu::IsSafeFromStandardUsers(state.security, caller);
}

// Wine matches names without regard to case too, so one name may stand
// for several files there: delete until none is left.
void DeleteDebugFiles(const std::wstring& folder) {
  for (const wchar_t* name : kDebugFileNames) {
    const std::wstring path = folder + L"\\" + name;
    for (int i = 0; i < 8; ++i) {
      const DWORD attributes = ::GetFileAttributesW(path.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
      if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      if (!::DeleteFileW(path.c_str())) break;
    }
  }
}

bool CreateProtected(const std::wstring& folder, bool admin) {
  zu::UniqueLocal descriptor = Descriptor(admin ? kProtectedFolderSddl : kProtectedListSddl);
  if (!descriptor) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  return zu::seams::create_directory(folder.c_str(), &attributes) != FALSE;
}

// Owner and list are set on the folder itself through a handle that pins
// it: nothing is propagated to what a standard user may have put inside
// (a hard link there must not carry our list to a system file), and no
// link is followed.
bool TakeOver(const std::wstring& folder) {
  zu::UniqueFile handle(::CreateFileW(
      folder.c_str(), READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  zu::UniqueLocal descriptor = Descriptor(kProtectedFolderSddl);
  if (!descriptor ||
      !zu::seams::set_object_security(handle.get(),
                                      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                          PROTECTED_DACL_SECURITY_INFORMATION,
                                      descriptor.get()))
    return false;
  // Only now: a debug file planted while the folder stood open must not
  // outlive the take-over, and no new one can come in once it is closed.
  DeleteDebugFiles(folder);
  return true;
}

bool IsFolderFollowingLinks(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool EnsureProtectedFolder(const std::wstring& folder) {
  const bool admin = zu::seams::is_administrator();
  std::optional<ScopedPrivileges> privileges;
  if (admin) privileges.emplace(std::initializer_list<const wchar_t*>{
        SE_BACKUP_NAME, SE_RESTORE_NAME, SE_TAKE_OWNERSHIP_NAME});
  // A second round when someone else made or replaced the folder meanwhile.
  for (int round = 0; round < 3; ++round) {
    const zu::ObjectState state = zu::InspectObject(folder);
    switch (state.kind) {
      case ObjectKind::kMissing:
        if (CreateProtected(folder, admin)) return true;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
        continue;
      case ObjectKind::kFolder:
        if (!admin || IsSafe(state, Caller(admin))) return true;
        return TakeOver(folder);
      case ObjectKind::kLink:
        // A junction in its place would lead our files (and our list)
        // elsewhere. Removing it removes the link, not what it points to.
        if (!admin) return IsFolderFollowingLinks(folder);
        if (!::RemoveDirectoryW(folder.c_str()) && !::DeleteFileW(folder.c_str())) return false;
        continue;
      case ObjectKind::kFile:
        return false;  // not ours to delete
      case ObjectKind::kUnreadable:
        return !admin && IsFolderFollowingLinks(folder);
    }
  }
  return false;
}

bool ReadTrustedIni(const std::wstring& folder, const std::wstring& file_name,
                    const std::wstring& section, const std::wstring& key, unsigned buffer_chars,
                    std::wstring* value) {
  if (value) value->clear();
  if (buffer_chars < 2 || file_name.empty()) return false;
  const zu::ObjectState folder_state = zu::InspectObject(folder);
  if (folder_state.kind != ObjectKind::kFolder) return false;
  const std::wstring path = folder + L"\\" + file_name;
  const zu::ObjectState file_state = zu::InspectObject(path);
  if (file_state.kind != ObjectKind::kFile) return false;
  const zu::SecurityCaller caller = Caller(zu::seams::is_administrator());
  if (!IsSafe(folder_state, caller) || !IsSafe(file_state, caller)) return false;
  std::vector<wchar_t> buffer(buffer_chars, L'\0');
  const DWORD n = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", buffer.data(),
                                             buffer_chars, path.c_str());
  std::wstring read(buffer.data(), n < buffer_chars ? n : buffer_chars - 1);
  const bool set = !read.empty();
  if (value) *value = std::move(read);
  return set;
}

}  // namespace

bool EnsureUpdateFolder() { return EnsureProtectedFolder(zu::seams::update_folder); }

bool ReadUpdateFolderIni(const std::wstring& file_name, const std::wstring& section,
                         const std::wstring& key, unsigned buffer_chars, std::wstring* value) {
  return ReadTrustedIni(zu::seams::update_folder, file_name, section, key, buffer_chars, value);
}
