// The address from the real settings file, identity and per-user values.
// Changes the settings file and the agent's per-user key, and puts back
// what it found.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <vector>

#include "agent/info/agent_message.h"
#include "agent/info/info_url.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "common/framework/handle.h"
#include "common/framework/seam.h"
#include "common/identity.h"

namespace {

std::optional<std::string> ReadAll(const std::wstring& path) {
  zu::UniqueResource<zu::FileHandleTraits> f(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return std::nullopt;
  std::string bytes;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(f.get(), buf, sizeof(buf), &got, nullptr) && got) bytes.append(buf, got);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  zu::UniqueResource<zu::FileHandleTraits> f(::CreateFileW(
      path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (f) ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// One registry value, put back on destruction.
class ValueSnapshot {
 public:
  explicit ValueSnapshot(std::wstring name) : name_(std::move(name)) {
    zu::UniqueRegKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
      return;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, nullptr, &bytes) !=
        ERROR_SUCCESS)
      return;
    data_.resize(bytes);
    ::RegQueryValueExW(key.get(), name_.c_str(), nullptr, &type_, data_.data(), &bytes);
    existed_ = true;
  }
  ~ValueSnapshot() {
    zu::UniqueRegKey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.put(), nullptr);
    if (existed_)
      ::RegSetValueExW(key.get(), name_.c_str(), 0, type_, data_.data(),
                       static_cast<DWORD>(data_.size()));
    else
      ::RegDeleteValueW(key.get(), name_.c_str());
  }
  ValueSnapshot(const ValueSnapshot&) = delete;
  ValueSnapshot& operator=(const ValueSnapshot&) = delete;

 private:
  std::wstring name_;
  bool existed_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

void SetUserString(const wchar_t* name, const std::wstring& text) {
  zu::UniqueRegKey key;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    key.put(), nullptr);
  ::RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}
void SetUserDword(const wchar_t* name, DWORD n) {
  zu::UniqueRegKey key;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    key.put(), nullptr);
  ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof(n));
}
void DeleteUserValue(const wchar_t* name) {
  zu::UniqueRegKey key;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, KEY_SET_VALUE, key.put()) ==
      ERROR_SUCCESS)
    ::RegDeleteValueW(key.get(), name);
}

class ResolveInfoFileURLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = GetSettingsFilePath();
    ASSERT_FALSE(settings_.empty());
    saved_settings_ = ReadAll(settings_);
    std::wstring folder = settings_.substr(0, settings_.rfind(L'\\'));
    ::CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
    ::CreateDirectoryW(folder.c_str(), nullptr);
    DeleteUserValue(L"_Debug_InfoFileURL");
    DeleteUserValue(L"_Debug_ShowMessageBox");
    box_override_.emplace(
        zu::seams::agent_message_box,
        [this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
          texts_.push_back(text);
          captions_.push_back(caption);
          types_.push_back(type);
          return IDOK;
        });
  }
  void TearDown() override {
    box_override_.reset();
    if (saved_settings_)
      WriteAll(settings_, *saved_settings_);
    else
      ::DeleteFileW(settings_.c_str());
  }
  void Settings(const std::string& ini) { WriteAll(settings_, ini); }

  std::wstring settings_;
  std::optional<std::string> saved_settings_;
  ValueSnapshot url_{L"_Debug_InfoFileURL"};
  ValueSnapshot box_{L"_Debug_ShowMessageBox"};
  std::optional<zu::ScopedOverride<AgentMessageBoxFn>> box_override_;
  std::vector<std::wstring> texts_, captions_;
  std::vector<UINT> types_;
};

TEST_F(ResolveInfoFileURLTest, BuiltFromSettingsAndIdentity) {
  std::wstring name;
  ASSERT_TRUE(GetModelName(&name));
  if (name != L"Wine") GTEST_SKIP() << "model name is not Wine's";

  Settings(
      "[Setting]\r\nInfoFileURLBase=http://info.example/zu/\r\n"
      "[Option]\r\nUseModelCode=0\r\nLanguage=NONE\r\nUseSystemDefaultUILanguage=0\r\n");
  EXPECT_EQ(L"http://info.example/zu/WINE.xml", BuildInfoFileURL());

  Settings(
      "[Setting]\r\nInfoFileURLBase=http://info.example/zu/\r\n"
      "[Option]\r\nLanguage=JPN\r\n");
  EXPECT_EQ(L"http://info.example/zu/WINE-JPN.xml", BuildInfoFileURL());

  wchar_t suffix[8];
  std::swprintf(suffix, 8, L"%04X", static_cast<unsigned>(::GetSystemDefaultUILanguage()));
  Settings("[Option]\r\nUseSystemDefaultUILanguage=1\r\nLanguage=JPN\r\n");
  EXPECT_EQ(std::wstring(L"WINE-") + suffix + L".xml", BuildInfoFileURL());

  // Wine's identifying number has no separator, so there is no model code.
  std::wstring code;
  if (GetModelCode(&code)) GTEST_SKIP() << "this machine has a model code";
  Settings("[Setting]\r\nInfoFileURLBase=http://i/\r\n[Option]\r\nUseModelCode=1\r\n");
  EXPECT_EQ(L"http://i/.xml", BuildInfoFileURL());
}

TEST_F(ResolveInfoFileURLTest, NoSettingsFileGivesTheDefaults) {
  ::DeleteFileW(settings_.c_str());
  std::wstring name;
  if (!GetModelName(&name) || name != L"Wine") GTEST_SKIP() << "model name is not Wine's";
  EXPECT_EQ(L"WINE.xml", ResolveInfoFileURL());
  EXPECT_TRUE(texts_.empty());
}

TEST_F(ResolveInfoFileURLTest, DebugAddressReplacesTheBuiltOneSilently) {
  Settings("[Setting]\r\nInfoFileURLBase=http://real.example/\r\n");
  const std::wstring real = BuildInfoFileURL();
  SetUserString(L"_Debug_InfoFileURL", L"http://127.0.0.1:8080/test.xml");
  EXPECT_EQ(L"http://127.0.0.1:8080/test.xml", ResolveInfoFileURL());
  SetUserDword(L"_Debug_ShowMessageBox", 0);
  EXPECT_EQ(L"http://127.0.0.1:8080/test.xml", ResolveInfoFileURL());
  // An empty value counts as absent.
  SetUserString(L"_Debug_InfoFileURL", L"");
  EXPECT_EQ(real, ResolveInfoFileURL());
  // So does a text switch: only a DWORD turns the message on.
  SetUserString(L"_Debug_ShowMessageBox", L"1");
  EXPECT_EQ(real, ResolveInfoFileURL());
  EXPECT_TRUE(texts_.empty());
}

TEST_F(ResolveInfoFileURLTest, DiagnosticMessageNamesBothAddresses) {
  SetUserDword(L"_Debug_ShowMessageBox", 7);
  EXPECT_EQ(L"http://real.example/M.xml", ApplyDebugInfoFileURL(L"http://real.example/M.xml"));
  SetUserString(L"_Debug_InfoFileURL", L"http://test.example/T.xml");
  EXPECT_EQ(L"http://test.example/T.xml", ApplyDebugInfoFileURL(L"http://real.example/M.xml"));
  ASSERT_EQ(2u, texts_.size());
  EXPECT_EQ(
      L"This message is just shown to confirm ZU is trying to access XML file!\n\n"
      L"The real info file's URL is\nhttp://real.example/M.xml\n\n"
      L"Test URL is\nhttp://test.example/T.xml\n\n"
      L"You can change the test URL here:\n"
      L"HKEY_CURRENT_USER\\Software\\Vexa Corporation\\ZEFO Update\\4.0---> [_Debug_InfoFileURL]",
      texts_[1]);
  EXPECT_NE(std::wstring::npos, texts_[0].find(L"Test URL is\nhttp://real.example/M.xml\n"));
  EXPECT_EQ(L"ZEFO Update", captions_[1]);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), types_[1]);
}

}  // namespace
