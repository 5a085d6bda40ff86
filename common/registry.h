#pragma once
// Single-value registry access: every call opens its key, does one value
// and closes the key again. Nothing is cached.
#include <windows.h>

#include <string>

// Longest strings the readers accept, terminator included (bytes).
constexpr DWORD kRegKeyUtilStringBytes = 510;  // 254 characters
constexpr DWORD kRegReadStringBytes = 200;     // 99 characters

class CRegKeyUtil {
 public:
  virtual ~CRegKeyUtil() = default;

  // True only when the stored type is REG_DWORD.
  bool ReadDWORD(const std::wstring& name, DWORD* value, HKEY root, const std::wstring& subkey);
  // Any type; the text up to its first null. An empty text is a failure,
  // so callers treat an empty stored string as absent.
  bool ReadString(const std::wstring& name, std::wstring* value, HKEY root,
                  const std::wstring& subkey);
  bool WriteDWORD(const std::wstring& name, DWORD value, HKEY root, const std::wstring& subkey);
  bool WriteString(const std::wstring& name, const std::wstring& value, HKEY root,
                   const std::wstring& subkey);
};

bool RegWriteDWORD(HKEY root, const std::wstring& subkey, const std::wstring& name, DWORD value);
bool RegWriteString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                    const std::wstring& value);
// Succeeds for any type, an empty text included; longer than 99 characters fails.
bool RegReadString(HKEY root, const std::wstring& subkey, const std::wstring& name,
                   std::wstring* value);
bool RegDeleteValueOf(HKEY root, const std::wstring& subkey, const std::wstring& name);
