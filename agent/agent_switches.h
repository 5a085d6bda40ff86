#pragma once
// The process-wide switches of a resident agent. The application object owns
// them and hands them by reference to the windows that read or change them;
// all of those run on the user-interface thread. Plain C++.

struct AgentSwitches {
  bool auto_check = true;            // "SuppressBallonPopUp" is not 2
  bool balloons_suppressed = false;  // "SuppressBallonPopUp" is 1
  bool disable_button = false;       // "/DisableButton": the support page stays shut
  // While the Options dialog asks whether to switch automatic checking off;
  // the tray's Exit then brings the dialog forward instead of ending.
  bool options_question_open = false;

  // Both check switches from the stored option.
  void FromStored(int suppress) {
    auto_check = suppress != 2;
    balloons_suppressed = suppress == 1;
  }
  // The stored option for both check switches.
  int ToStored() const { return !auto_check ? 2 : balloons_suppressed ? 1 : 0; }
};
