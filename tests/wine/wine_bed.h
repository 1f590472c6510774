// A namespace bed whose programs may be the Windows builds, each run under Wine inside one of the bed's
// namespaces (tests/windows/wine-run.sh --here).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "simulator_bed.h"

namespace winetest {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

class WineBed : public testbed::SimulatorBed {
 protected:
  void SetUp() override;
  void TearDown() override;

  // `program` of the Windows build (without ".exe") under Wine in namespace `role`, started.
  testbed::ChildProcess& start_exe(const std::string& role, const std::string& program,
                                   const std::vector<std::string>& args);
  // The same, run to its end.
  Outcome run_exe(const std::string& role, const std::string& program, const std::vector<std::string>& args);

  // vantrel-device-sim.exe in device namespace `name`, waited for until ready (a test failure if not).
  testbed::ChildProcess& start_exe_sim(const std::string& name, const std::vector<std::string>& args);

 private:
  // Ended with SIGTERM, so that each wine-run.sh stops its wineserver and removes its prefix.
  std::vector<std::unique_ptr<testbed::ChildProcess>> wine_runs_;
};

// Path of a program of the Windows build.
std::string windows_exe(const std::string& program);

// Wine's start-up costs seconds: every wait for a program under Wine allows for it.
inline constexpr std::chrono::seconds kWineStart{60};

}  // namespace winetest
