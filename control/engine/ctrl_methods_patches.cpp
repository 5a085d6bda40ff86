// The scripting methods of the patch records and the un-checked items:
// SetUnCheckItem, ResetUnCheckItem, IsUnChecked, DeletePatchListFile,
// DeletePatchFile and GetExecutedPatches.
#include <windows.h>

#include "common/patch_list.h"
#include "common/platform.h"
#include "common/update_folder.h"
#include "control/ctrl_frame.h"
#include "control/engine/uncheck_items.h"
#include "control/zuax_ctrl.h"

namespace {

std::wstring UncheckItemFile() { return std::wstring(kUpdateFolder) + L"\\" + kUncheckItemName; }

}  // namespace

bool CZUAXCtrl::SetUnCheckItem(const std::wstring& bstrValue) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return false;
  }
  if (bstrValue.empty()) return false;
  if (!IsStorableItemName(bstrValue)) {
    SetZuLastError(kZuErrorInvalidArgument);
    return false;
  }
  const std::wstring file = UncheckItemFile();
  if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) EnsureUpdateFolder();
  return ::WritePrivateProfileStringW(kUncheckItemSection, bstrValue.c_str(), L"1",
                                      file.c_str()) != FALSE;
}

bool CZUAXCtrl::ResetUnCheckItem(const std::wstring& item) {
  if (!PassPlainPrologue()) return kRefusedBool;
  if (!IsUserAdministrator()) {
    SetZuLastError(kZuErrorNotAdmin);
    return false;
  }
  return ::WritePrivateProfileStringW(kUncheckItemSection, item.c_str(), nullptr,
                                      UncheckItemFile().c_str()) != FALSE;
}

bool CZUAXCtrl::IsUnChecked(const std::wstring& item) {
  if (!PassPlainPrologue()) return kRefusedBool;
  wchar_t value[kUncheckValueChars] = {};
  ::GetPrivateProfileStringW(kUncheckItemSection, item.c_str(), L"", value, kUncheckValueChars,
                             UncheckItemFile().c_str());
  return IsUncheckedValue(value);
}

bool CZUAXCtrl::DeletePatchListFile() {
  if (!PassPlainPrologue()) return kRefusedBool;
  return CWrapIniOper().DeleteListFile();
}

bool CZUAXCtrl::DeletePatchFile(const std::wstring& bstrItem) {
  if (!PassPlainPrologue()) return kRefusedBool;
  const CWrapIniOper::DeleteResult result = CWrapIniOper().DeletePatchFile(bstrItem);
  if (result.file_missing) SetZuLastError(kZuErrorFileMissing);
  return result.done;
}

std::wstring CZUAXCtrl::GetExecutedPatches() {
  if (!PassPlainPrologue()) return RefusedString();
  std::wstring list;
  if (!CWrapIniOper().ExecutedList(&list)) SetZuLastError(kZuErrorPatchList);
  return list;
}
