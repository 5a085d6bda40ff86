#pragma once
// Registry helpers of the tests: raw values to read and write, and the
// snapshot that puts a key tree back exactly as a test found it.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zu::test {

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const RawValue&) const = default;
};
RawValue Sz(const std::wstring& text);  // REG_SZ with its terminator
RawValue Dword(DWORD value);

// The value as stored (REG_EXPAND_SZ unexpanded); empty when absent. An
// empty name is the key's default value.
std::optional<RawValue> ReadRaw(HKEY root, const std::wstring& key, const std::wstring& name);
// Writes the value, creating the key; without a value, deletes it. False
// when the registry refused.
bool WriteRaw(HKEY root, const std::wstring& key, const std::wstring& name,
              const std::optional<RawValue>& value);

// A REG_SZ value or a REG_DWORD value; empty when absent or of another type.
std::optional<std::wstring> RegString(HKEY root, const std::wstring& key,
                                      const std::wstring& name);
std::optional<DWORD> RegDword(HKEY root, const std::wstring& key, const std::wstring& name);
bool SetRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                  const std::wstring& value);
bool SetRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value);

bool KeyExists(HKEY root, const std::wstring& key);
// Removes the key with everything below it; true when it is gone.
bool DeleteKeyTree(HKEY root, const std::wstring& key);
// Removes every value of the key; its sub-keys stay.
void DeleteAllValues(HKEY root, const std::wstring& key);

// A key with all its values and sub-keys as they were when the snapshot was
// made. The destructor puts exactly that back: what the test added goes,
// what it changed or removed returns. A key that did not exist is removed,
// and so are the parent keys the test created on the way, once empty.
class KeySnapshot {
 public:
  KeySnapshot(HKEY root, std::wstring key);
  ~KeySnapshot();
  KeySnapshot(const KeySnapshot&) = delete;
  KeySnapshot& operator=(const KeySnapshot&) = delete;

  // Removes the key and everything below it, for a test that starts from
  // nothing; the destructor still puts back what was there.
  void Clear() const;
  bool existed() const { return tree_.has_value(); }

  struct Tree {
    std::map<std::wstring, RawValue> values;
    std::map<std::wstring, Tree> keys;
    bool operator==(const Tree&) const = default;
  };
  // The tree under root\key as it is now; empty when the key is missing.
  static std::optional<Tree> Read(HKEY root, const std::wstring& key);

 private:
  HKEY root_;
  std::wstring key_;
  std::optional<Tree> tree_;
  std::vector<std::wstring> missing_parents_;  // innermost first
};

}  // namespace zu::test
