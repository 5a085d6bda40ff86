#include "tests/support/settings.h"

#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"

namespace zu::test {
namespace {

std::wstring Parent(const std::wstring& p) { return p.substr(0, p.rfind(L'\\')); }

bool IsDir(const std::wstring& p) {
  const DWORD a = ::GetFileAttributesW(p.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void ClearUserValues() { DeleteAllValues(HKEY_CURRENT_USER, kAgentUserKey); }

bool SetUserString(const std::wstring& name, const std::wstring& text) {
  return SetRegString(HKEY_CURRENT_USER, kAgentUserKey, name, text);
}

bool SetUserDword(const std::wstring& name, DWORD value) {
  return SetRegDword(HKEY_CURRENT_USER, kAgentUserKey, name, value);
}

bool DeleteUserValue(const std::wstring& name) {
  return WriteRaw(HKEY_CURRENT_USER, kAgentUserKey, name, std::nullopt);
}

std::optional<RawValue> UserValue(const std::wstring& name) {
  return ReadRaw(HKEY_CURRENT_USER, kAgentUserKey, name);
}

bool HasUserValue(const std::wstring& name) { return UserValue(name).has_value(); }

SettingsFileAside::SettingsFileAside()
    : vendor_dir_(Parent(Parent(GetSettingsFilePath()))),
      app_dir_(Parent(GetSettingsFilePath())),
      vendor_existed_(IsDir(vendor_dir_)),
      app_existed_(IsDir(app_dir_)),
      file_(GetSettingsFilePath()),
      template_(GetTemplateSettingsFilePath()) {}

void SettingsFileAside::MakeFolders() const {
  ::CreateDirectoryW(vendor_dir_.c_str(), nullptr);
  ::CreateDirectoryW(app_dir_.c_str(), nullptr);
}

void SettingsFileAside::RemoveFoldersIfEmpty() {
  ::RemoveDirectoryW(app_dir_.c_str());
  ::RemoveDirectoryW(vendor_dir_.c_str());
}

SettingsFileAside::FolderCleanup::~FolderCleanup() {
  if (!owner->app_existed_) ::RemoveDirectoryW(owner->app_dir_.c_str());
  if (!owner->vendor_existed_) ::RemoveDirectoryW(owner->vendor_dir_.c_str());
}

}  // namespace zu::test
