// A namespace bed with simulated devices, and vantrel-discover run inside its tool namespace.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "netbed.h"
#include "simulator_bed.h"

namespace clitest {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
  std::chrono::milliseconds took{0};
};

class DiscoverBed : public testbed::SimulatorBed {
 protected:
  // A device namespace of its own on `segments` with a simulator in it, kept under the name `name`.
  // The device's addresses, in segment order; empty (after a test failure) when it could not start.
  std::vector<std::string> add_device(const std::string& name, const std::string& segments,
                                      const std::vector<std::string>& sim_args);
  // Another simulator in the namespace of device `name`, kept under `key`. False when it did not start.
  bool add_simulator(const std::string& key, const std::string& name,
                     const std::vector<std::string>& sim_args);
  testbed::ChildProcess& device(const std::string& key) { return *by_key_.at(key); }
  // Ends every simulator (before a table's next row builds its own).
  void stop_devices();

  // vantrel-discover with `args`, inside the tool namespace.
  std::unique_ptr<testbed::ChildProcess> start(const std::vector<std::string>& args) const;
  Outcome discover(const std::vector<std::string>& args) const;

 private:
  std::map<std::string, testbed::ChildProcess*> by_key_;  // into sims_
};

using testbed::device_line;
using testbed::lines;

// True when `line` has the shape of a device line.
bool looks_like_device_line(const std::string& line);

}  // namespace clitest
