#pragma once
// The frame every scripting method shares: the library-wide last-error
// code, the answers of a refused call, and (as members of CZUAXCtrl,
// defined in ctrl_frame.cpp) the three prologues.
//
//   Plain method:       if (!PassPlainPrologue()) return kRefusedBool;
//   Matching ("...Ex"): bool reverse, answer;
//                       if (!PassMatchPrologue(bstrReverse, &reverse, &answer))
//                         return answer;
//   SearchDriveInfo:    if (!PassDriveInfoPrologue()) return kRefusedBool;
#include <string>

#include "control/error_codes.h"

// Answers of a call the prologue stopped.
inline constexpr bool kRefusedBool = false;
inline constexpr unsigned long kRefusedNumber = 0;  // GetSystemDefaultLCID, GetProcessorArchitecture
inline constexpr long kRefusedLastError = kZuErrorNeverSet;  // GetLastError
inline std::wstring RefusedString() { return std::wstring(); }

// Stores the code in the library-wide variable (shared by every control
// of the process) and in the calling thread's system last-error.
void SetZuLastError(long code);
// The variable as it is (-1 until something set it).
long ZuLastError();
// GetLastError's rule: while the variable is -1, the calling thread's
// system last-error is first copied into it; then the variable.
long ZuLastErrorForPage();

// "%d.%d.%d.%d" of the file version of the ZUAC.dll loaded in this process
// (the first module of that name), empty when there is none or it has no
// version.
std::wstring LoadedLibraryVersion();
