#pragma once
// The one WMI query shape every identity read uses: locator, connect to
// the local cimv2 namespace, proxy blanket, a forward-only WQL query, and
// one property of the first object returned.
#include <objbase.h>
#include <wbemcli.h>

#include <string>

#include "common/framework/com.h"

inline constexpr wchar_t kWmiNamespace[] = L"\\\\.\\root\\cimv2";
inline constexpr wchar_t kProductQuery[] = L"Select * From Win32_ComputerSystemProduct";
inline constexpr wchar_t kBiosQuery[] = L"Select * From Win32_BIOS";

// Whether a query initialises COM on the calling thread itself (the agent's
// standalone reads) or runs in an apartment the caller already set up (the
// control inside the browser, and the identity cache).
enum class WmiCom { kInitialize, kCallerInitialized };

// A connection to one namespace. Needs an initialised COM apartment on the
// calling thread for its whole life. Virtual so that tests can make single
// queries fail around a real connection.
class CWmiSession {
 public:
  explicit CWmiSession(std::wstring wmi_namespace = kWmiNamespace);
  virtual ~CWmiSession();
  CWmiSession(const CWmiSession&) = delete;
  CWmiSession& operator=(const CWmiSession&) = delete;

  // Locator, connect, proxy blanket. False when any step fails.
  virtual bool Connect();
  // Runs the WQL query and converts the property of its first object to
  // text. False (text untouched) when not connected, the query fails, it
  // returns no object, or the property is missing or null.
  virtual bool QueryFirst(const std::wstring& wql, const std::wstring& property,
                          std::wstring* text);

 private:
  std::wstring namespace_;
  zu::ComPtr<IWbemLocator> locator_;
  zu::ComPtr<IWbemServices> services_;
};

// The whole sequence for one property: connect, query, read, release.
bool QueryWmiProperty(const std::wstring& wql, const std::wstring& property, std::wstring* text,
                      WmiCom com = WmiCom::kInitialize);

// A property of Win32_ComputerSystemProduct ("Name", "IdentifyingNumber").
bool QueryProductProperty(const std::wstring& property, std::wstring* text,
                          WmiCom com = WmiCom::kInitialize);
