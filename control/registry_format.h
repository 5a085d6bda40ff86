#pragma once
// The registry as the page sees it: key paths with one of four root names,
// values as text, and the key listing. Plain C++ (no Windows headers); the
// type numbers are the registry's own.
#include <cstddef>
#include <cstdint>
#include <string>

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers };

enum class PathSplit { kOk, kNoSeparator, kUnknownRoot };
// Cuts at the first "\": the root name (exactly "HKEY_CLASSES_ROOT",
// "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" or "HKEY_USERS", with case)
// and the sub-key path, which may be empty for the root itself.
PathSplit SplitRegistryPath(const std::wstring& path, RegistryRoot* root, std::wstring* subkey);

// Values are read into a buffer of this size; longer ones have no text.
inline constexpr std::size_t kValueTextBufferBytes = 1024;
// Names are enumerated with buffers of this many characters.
inline constexpr std::size_t kRegistryNameChars = 1024;

// REG_SZ: the string between double quotes, every code unit reduced to its
// low byte and the text ending at the first unit that becomes 0; REG_DWORD:
// "dword:%.8x"; REG_BINARY: "hex:" and the bytes as "%.2x" joined by ",";
// any other type: empty.
std::wstring FormatValueText(std::uint32_t type, const void* data, std::size_t bytes);

// "(STRING)" and the others; nullptr for types the listing leaves out.
const wchar_t* RegistryTypeLabel(std::uint32_t type);

// The text of a key listing: "KEYS:\n", each sub-key name and "\n", then
// "\nVALUES:\n" and each value's name, label and "\n".
class RegistryListingText {
 public:
  RegistryListingText() : text_(L"KEYS:\n") {}
  void AddSubKey(const std::wstring& name);
  void BeginValues();
  // The entry "name(LABEL)", or empty when the type is left out.
  std::wstring AddValue(const std::wstring& name, std::uint32_t type);
  const std::wstring& text() const { return text_; }

 private:
  std::wstring text_;
};

inline constexpr wchar_t kListingInvalidPath[] = L"Invalid Path";
inline constexpr wchar_t kListingKeyNotFound[] = L"Key not Found!";
