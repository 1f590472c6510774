#include "discover_bed.h"

#include <regex>
#include <sstream>

namespace clitest {

using namespace std::chrono_literals;

std::vector<std::string> DiscoverBed::add_device(const std::string& name, const std::string& segments,
                                                 const std::vector<std::string>& sim_args) {
  const std::vector<std::string> addresses = add_namespace(name, segments);
  if (addresses.empty()) return {};
  return add_simulator(name, name, sim_args) ? addresses : std::vector<std::string>{};
}

bool DiscoverBed::add_simulator(const std::string& key, const std::string& name,
                                const std::vector<std::string>& sim_args) {
  testbed::ChildProcess& sim = start_sim(name, sim_args);
  by_key_[key] = &sim;
  return sim.err().find("vantrel-device-sim: ready") != std::string::npos;
}

void DiscoverBed::stop_devices() {
  by_key_.clear();
  sims_.clear();
}

std::unique_ptr<testbed::ChildProcess> DiscoverBed::start(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {testbed::bin("vantrel-discover")};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::make_unique<testbed::ChildProcess>(bed_->in("tool", argv));
}

Outcome DiscoverBed::discover(const std::vector<std::string>& args) const {
  const auto began = std::chrono::steady_clock::now();
  const std::unique_ptr<testbed::ChildProcess> tool = start(args);
  Outcome run;
  run.code = tool->wait(30s);
  run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
  run.out = tool->out();
  run.err = tool->err();
  return run;
}

bool looks_like_device_line(const std::string& line) {
  static const std::regex shape(
      R"(^\d{1,3}(\.\d{1,3}){3}, Model: .+, Serial Number: .+?(, Boot State:  (ON|OFF))?$)");
  return std::regex_match(line, shape);
}

}  // namespace clitest
