// Defines the GUIDs that zuax_ids.h declares, and only those.
#include <windows.h>
#include <ole2.h>

#include <initguid.h>

#include "control/zuax_ids.h"
