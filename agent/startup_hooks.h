#pragma once
// Programs the maker configures to start with the agent, under
// HKLM "SOFTWARE\Vexa Corporation\ZEFO Update 4\StartUp\<any>" with the
// string values "Path" and "Option".
void RunStartupHooks();
