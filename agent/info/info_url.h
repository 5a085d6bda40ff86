#pragma once
// The address of this PC's update information file, its diagnostic
// replacement, the agent's version text and the reachability probe for
// support, fallback and redirect pages.
#include <windows.h>

#include <string>

// "InfoFileURLBase" + model name (normalised) or model code + optional
// language suffix + ".xml", from the settings file and the PC's identity.
std::wstring BuildInfoFileURL();

// BuildInfoFileURL, replaced by the per-user "_Debug_InfoFileURL" when set;
// with "_Debug_ShowMessageBox" non-zero the diagnostic message is shown
// (and waited for) first. Used for addresses the agent builds itself, never
// for redirects.
std::wstring ResolveInfoFileURL();
// The replacement step alone, for a given built address.
std::wstring ApplyDebugInfoFileURL(const std::wstring& real);

// First line of "Version.txt" beside the agent executable, in the ANSI
// code page; empty when it cannot be read.
std::wstring GetAgentVersion();
// The same for a given file. Reads at most kVersionFileReadLimit bytes.
std::wstring ReadVersionText(const std::wstring& path);

// Connect, send and receive each give up after this long, so that a
// server that accepts and never answers cannot hold the agent's
// user-interface thread for good.
constexpr DWORD kProbeTimeoutMs = 30000;

// True exactly when an HTTP(S) GET of the address, through the user's
// proxy settings and with the user agent "ZEFOUpdate-Client/" + version,
// ends with status 200, after at most zu::net::kMaxRedirects redirects
// (zu::net::IsReachable). Never reports anything; every failure is false.
bool IsURLReachable(const std::wstring& address);
