#pragma once
// Owner of a SetupAPI device information set, beside the handle owners of
// handle.h (kept apart so that only its users need setupapi).
#include <windows.h>
#include <setupapi.h>

#include "common/framework/handle.h"

namespace zu {

struct DevInfoTraits {  // INVALID_HANDLE_VALUE means none
  using Type = HDEVINFO;
  static HDEVINFO Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HDEVINFO h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HDEVINFO h) { ::SetupDiDestroyDeviceInfoList(h); }
};
using UniqueDevInfo = UniqueResource<DevInfoTraits>;

}  // namespace zu
