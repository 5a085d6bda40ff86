#pragma once
// The agent's own machine state for its unit tests: the values of its
// per-user key, and the settings file with its template set aside.
#include <windows.h>

#include <optional>
#include <string>

#include "tests/support/files.h"
#include "tests/support/registry.h"

namespace zu::test {

// Values of the agent's per-user key (kAgentUserKey); writes create it.
// Take a KeySnapshot of HKEY_CURRENT_USER\kAgentUserKey to put it back.
void ClearUserValues();  // every value goes; the key stays when it exists
bool SetUserString(const std::wstring& name, const std::wstring& text);
bool SetUserDword(const std::wstring& name, DWORD value);
bool DeleteUserValue(const std::wstring& name);
std::optional<RawValue> UserValue(const std::wstring& name);
bool HasUserValue(const std::wstring& name);

// The settings file and its template set aside; folders the test run
// creates are removed again (when empty, as they are once the file is back).
// Members are put back in reverse order: the files first, then the folders.
class SettingsFileAside {
 public:
  SettingsFileAside();
  SettingsFileAside(const SettingsFileAside&) = delete;
  SettingsFileAside& operator=(const SettingsFileAside&) = delete;

  const std::wstring& file() const { return file_.path(); }
  const std::wstring& template_path() const { return template_.path(); }
  const std::wstring& app_dir() const { return app_dir_; }

  // Makes the settings folder and its parent, as a fresh profile lacks both.
  void MakeFolders() const;
  // Removes the folders too, so the preparation has to make them.
  void RemoveFoldersIfEmpty();

 private:
  struct FolderCleanup {
    SettingsFileAside* owner;
    ~FolderCleanup();
  };
  std::wstring vendor_dir_, app_dir_;
  bool vendor_existed_, app_existed_;
  FolderCleanup folders_{this};  // destroyed after the files are back
  FileAside file_;
  FileAside template_;
};

}  // namespace zu::test
