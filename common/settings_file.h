#pragma once
// The machine-wide settings file "ZU.ini" in the common application data
// folder, which the agent keeps and the control reads too. Each call builds
// the path afresh and reads the file again.
#include <string>

// ...\ProgramData\Vexa Corporation\ZEFO Update\ZU.ini; empty when the
// common application data folder is unknown.
std::wstring GetSettingsFilePath();

// "Option" "ReceiveTimeout" in milliseconds, default 6000: how long a
// transfer waits for data.
int ReadReceiveTimeout();
