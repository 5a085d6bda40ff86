#pragma once
// The machine-wide settings file "ZU.ini", shared by every user of the PC.
// Every operation builds the path afresh and re-reads the file; nothing is
// cached, so another process's change is seen by the next read.
#include <string>
#include <vector>

#include "common/settings_file.h"  // GetSettingsFilePath, ReadReceiveTimeout

std::wstring GetTemplateSettingsFilePath();  // "ZU.ini" beside the running executable

// Creates the settings file from the template when it is missing (never
// overwriting one that exists) and lets every user read and write it.
void PrepareSettingsFile();
// The access list the settings file gets (an ACL, as bytes): every user may
// read and write it, only administrators and the system may change its
// permissions or owner. An empty (null) list would hand those to everyone.
std::vector<unsigned char> SettingsFileAcl();

// "Option" "Interval": days between automatic checks, default "1".
std::wstring ReadInterval();
bool WriteInterval(const std::wstring& text);

// 1 during the PC's first year (from "OEMINFO.INI" in the system folder),
// else 7; 1 without that file, 7 when the clock fails.
int ComputeDefaultInterval();
// The same rule for a given file.
int ComputeDefaultIntervalFrom(const std::wstring& oeminfo_path);
// Writes ComputeDefaultInterval() to "Interval" and returns it.
int WriteDefaultInterval();

// "Option" "SuppressBallonPopUp": 0 normal, 1 no balloons, 2 no automatic checks.
int ReadSuppressBalloon();
bool WriteSuppressBalloon(int n);

std::wstring ReadInfoFileURLBase();             // "Setting" "InfoFileURLBase", default ""
std::wstring ReadUseModelCode();                // "Option" "UseModelCode", default "0"
std::wstring ReadLanguage();                    // "Option" "Language", default "NONE"
std::wstring ReadUseSystemDefaultUILanguage();  // "Option" ..., default "0"

// True with the text when the key holds a web address (IsWebAddress).
bool ReadURLForInvalidInfoFile(std::wstring* url);
bool ReadURLForInvalidSupportPage(std::wstring* url);
