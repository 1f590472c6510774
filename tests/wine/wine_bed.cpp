#include "wine_bed.h"

#include <csignal>
#include <filesystem>

namespace winetest {

using namespace std::chrono_literals;

std::string windows_exe(const std::string& program) {
  return std::string(VANTREL_WINDOWS_BIN_DIR) + "/" + program + ".exe";
}

namespace {

const std::string kWineRun = std::string(VANTREL_SOURCE_DIR) + "/tests/windows/wine-run.sh";

}  // namespace

void WineBed::SetUp() {
  SimulatorBed::SetUp();
  if (IsSkipped()) return;
  if (!std::filesystem::exists("/usr/lib/wine/wine64")) GTEST_SKIP() << "Wine (wine64) is not installed";
}

void WineBed::TearDown() {
  for (const auto& run : wine_runs_) {
    if (!run->running()) continue;
    run->signal(SIGTERM);
    run->wait(30s);
  }
  wine_runs_.clear();
}

testbed::ChildProcess& WineBed::start_exe(const std::string& role, const std::string& program,
                                          const std::vector<std::string>& args) {
  std::vector<std::string> argv = {kWineRun, "--here", windows_exe(program)};
  argv.insert(argv.end(), args.begin(), args.end());
  wine_runs_.push_back(std::make_unique<testbed::ChildProcess>(bed_->in(role, argv)));
  return *wine_runs_.back();
}

Outcome WineBed::run_exe(const std::string& role, const std::string& program,
                         const std::vector<std::string>& args) {
  testbed::ChildProcess& run = start_exe(role, program, args);
  Outcome outcome;
  outcome.code = run.wait(kWineStart + 30s);
  outcome.out = run.out();
  outcome.err = run.err();
  return outcome;
}

testbed::ChildProcess& WineBed::start_exe_sim(const std::string& name, const std::vector<std::string>& args) {
  testbed::ChildProcess& sim = start_exe(name, "vantrel-device-sim", args);
  EXPECT_TRUE(sim.wait_for("vantrel-device-sim: ready,", kWineStart, true))
      << "vantrel-device-sim.exe " << testbed::describe(args) << " in " << name
      << " did not get ready; its stderr:\n"
      << sim.err();
  return sim;
}

}  // namespace winetest
