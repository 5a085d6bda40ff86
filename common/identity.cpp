#include "common/identity.h"

#include <windows.h>

#include "common/identity_rules.h"
#include "common/registry.h"

bool GetModelName(std::wstring* name, WmiCom com) {
  return QueryProductProperty(L"Name", name, com);
}

void GetIdentifyingNumber(std::wstring* number, WmiCom com) {
  number->clear();
  if (!QueryProductProperty(L"IdentifyingNumber", number, com)) number->clear();
}

bool GetModelCode(std::wstring* code, WmiCom com) {
  std::wstring number, serial;
  GetIdentifyingNumber(&number, com);
  return SplitIdentifyingNumber(number, code, &serial);
}

bool GetSerialNumber(std::wstring* serial, WmiCom com) {
  std::wstring number, code;
  GetIdentifyingNumber(&number, com);
  return SplitIdentifyingNumber(number, &code, serial);
}

void CacheIdentity(CWmiSession& session) {
  if (!session.Connect()) return;
  struct Item {
    const wchar_t* query;
    const wchar_t* property;
    const wchar_t* value_name;
  };
  const Item items[] = {
      {kProductQuery, L"Name", kCacheModelName},
      {kProductQuery, L"IdentifyingNumber", kCacheIdentifyingNumber},
      {kBiosQuery, L"SMBIOSBIOSVersion", kCacheBiosVersion},
  };
  for (const Item& item : items) {
    std::wstring text;
    if (!session.QueryFirst(item.query, item.property, &text)) text.clear();
    RegWriteString(HKEY_CURRENT_USER, kIdentityCacheKey, item.value_name, text);
  }
}

void CacheIdentity() {
  CWmiSession session;
  CacheIdentity(session);
}
