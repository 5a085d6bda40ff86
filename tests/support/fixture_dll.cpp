// An empty DLL: a PE file whose version information (or its absence) the
// file queries read.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
