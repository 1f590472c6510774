// Without a display Qt cannot start and aborts (with a core dump). The guard turns that into one line on
// standard error and exit code 1.
#pragma once

class DisplayGuard {
 public:
  DisplayGuard();   // before the QApplication is made
  ~DisplayGuard();  // once it stands
  DisplayGuard(const DisplayGuard&) = delete;
  DisplayGuard& operator=(const DisplayGuard&) = delete;
};
