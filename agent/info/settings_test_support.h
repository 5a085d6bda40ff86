#pragma once
// Test helpers that set aside the machine state the settings tests touch
// (the per-user key, the settings file, the template beside the test
// executable) and put back exactly what was there.
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"

namespace zu_test {

// Every value of the agent's per-user key, restored on destruction.
class UserKeySnapshot {
 public:
  UserKeySnapshot() {
    for (int i = 0; i < 2; ++i) parent_existed_[i] = KeyExists(kParents[i]);
    HKEY key;
    existed_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, KEY_READ, &key) ==
               ERROR_SUCCESS;
    if (!existed_) return;
    for (DWORD i = 0;; ++i) {
      wchar_t name[16384];
      DWORD name_len = 16384, type = 0, size = 0;
      if (::RegEnumValueW(key, i, name, &name_len, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS)
        break;
      Value v{name, type, std::vector<BYTE>(size)};
      name_len = 16384;
      ::RegEnumValueW(key, i, name, &name_len, nullptr, &type, v.data.data(), &size);
      values_.push_back(std::move(v));
    }
    ::RegCloseKey(key);
  }
  ~UserKeySnapshot() {
    if (!existed_) {
      ::RegDeleteTreeW(HKEY_CURRENT_USER, kAgentUserKey);
      // Parents the test run created; RegDeleteKey leaves any that hold keys.
      for (int i = 1; i >= 0; --i)
        if (!parent_existed_[i]) ::RegDeleteKeyW(HKEY_CURRENT_USER, kParents[i]);
      return;
    }
    Clear();
    HKEY key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
      return;
    for (const Value& v : values_)
      ::RegSetValueExW(key, v.name.c_str(), 0, v.type, v.data.data(),
                       static_cast<DWORD>(v.data.size()));
    ::RegCloseKey(key);
  }
  UserKeySnapshot(const UserKeySnapshot&) = delete;
  UserKeySnapshot& operator=(const UserKeySnapshot&) = delete;

  // Removes every value of the key (the key itself stays when it existed).
  static void Clear() {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, KEY_READ | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
      return;
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
      wchar_t name[16384];
      DWORD len = 16384;
      if (::RegEnumValueW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      names.push_back(name);
    }
    for (const std::wstring& n : names) ::RegDeleteValueW(key, n.c_str());
    ::RegCloseKey(key);
  }

  static void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
      return;
    ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(key);
  }
  static void SetString(const wchar_t* name, const std::wstring& s) {
    SetRaw(name, REG_SZ, s.c_str(), static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t)));
  }
  static void SetDword(const wchar_t* name, DWORD n) { SetRaw(name, REG_DWORD, &n, sizeof(n)); }
  // Type and data as stored; false when absent.
  static bool Get(const wchar_t* name, DWORD* type, std::vector<BYTE>* data) {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    DWORD size = 0;
    bool ok = ::RegQueryValueExW(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
      data->resize(size);
      ok = ::RegQueryValueExW(key, name, nullptr, type, data->data(), &size) == ERROR_SUCCESS;
    }
    ::RegCloseKey(key);
    return ok;
  }
  static bool Exists(const wchar_t* name) {
    DWORD type;
    std::vector<BYTE> data;
    return Get(name, &type, &data);
  }

 private:
  static constexpr const wchar_t* kParents[2] = {L"Software\\Vexa Corporation",
                                                 L"Software\\Vexa Corporation\\ZEFO Update"};
  static bool KeyExists(const wchar_t* path) {
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
  }
  struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  bool existed_ = false;
  bool parent_existed_[2] = {};
  std::vector<Value> values_;
};

// Moves a file out of the way and back again; the file is absent in between.
class FileAside {
 public:
  // The saved copy waits in the temporary folder, so the file's own folder
  // can be emptied while it is away.
  explicit FileAside(std::wstring path) : path_(std::move(path)) {
    static int count = 0;
    wchar_t tmp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, tmp);
    saved_ = std::wstring(tmp) + L"zu-test-saved-" + std::to_wstring(::GetCurrentProcessId()) +
             L"-" + std::to_wstring(++count);
    ::DeleteFileW(saved_.c_str());
    moved_ = ::MoveFileExW(path_.c_str(), saved_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
  }
  ~FileAside() {
    ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path_.c_str());
    if (moved_) {
      const std::wstring dir = path_.substr(0, path_.rfind(L'\\'));
      ::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);  // a test may have removed it
      ::MoveFileExW(saved_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
    }
  }
  FileAside(const FileAside&) = delete;
  FileAside& operator=(const FileAside&) = delete;
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_, saved_;
  bool moved_ = false;
};

// The settings file and its template set aside; folders the test run
// creates are removed again (when empty, as they are once the file is back).
// Members are put back in reverse order: the files first, then the folders.
class SettingsFileAside {
 public:
  SettingsFileAside()
      : vendor_dir_(Parent(Parent(GetSettingsFilePath()))),
        app_dir_(Parent(GetSettingsFilePath())),
        vendor_existed_(IsDir(vendor_dir_)),
        app_existed_(IsDir(app_dir_)),
        file_(GetSettingsFilePath()),
        template_(GetTemplateSettingsFilePath()) {}
  const std::wstring& file() const { return file_.path(); }
  const std::wstring& template_path() const { return template_.path(); }
  const std::wstring& app_dir() const { return app_dir_; }

  // Removes the folders too, so the preparation has to make them.
  void RemoveFoldersIfEmpty() {
    ::RemoveDirectoryW(app_dir_.c_str());
    ::RemoveDirectoryW(vendor_dir_.c_str());
  }

 private:
  static std::wstring Parent(const std::wstring& p) { return p.substr(0, p.rfind(L'\\')); }
  static bool IsDir(const std::wstring& p) {
    DWORD a = ::GetFileAttributesW(p.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  struct FolderCleanup {
    SettingsFileAside* owner;
    ~FolderCleanup() {
      if (!owner->app_existed_) ::RemoveDirectoryW(owner->app_dir_.c_str());
      if (!owner->vendor_existed_) ::RemoveDirectoryW(owner->vendor_dir_.c_str());
    }
  };
  std::wstring vendor_dir_, app_dir_;
  bool vendor_existed_, app_existed_;
  FolderCleanup folders_{this};  // destroyed after the files are back
  FileAside file_;
  FileAside template_;
};

}  // namespace zu_test
