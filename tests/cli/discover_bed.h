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

namespace clitest {

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
  std::chrono::milliseconds took{0};
};

class DiscoverBed : public testing::Test {
 protected:
  void SetUp() override;

  // Builds the bed; the first thing a test does.
  void build(int segments);

  // Starts a simulator in a device namespace of its own on `segments` and waits until it answers probes.
  // The device's addresses, in segment order; empty (after a test failure) when it could not start.
  std::vector<std::string> add_device(const std::string& name, const std::string& segments,
                                      const std::vector<std::string>& sim_args);
  // Another simulator in the namespace of device `name`, kept under `key`. False when it did not start.
  bool add_simulator(const std::string& key, const std::string& name,
                     const std::vector<std::string>& sim_args);
  testbed::ChildProcess& device(const std::string& key) { return *sims_.at(key); }

  // vantrel-discover with `args`, inside the tool namespace.
  std::unique_ptr<testbed::ChildProcess> start(const std::vector<std::string>& args) const;
  Outcome discover(const std::vector<std::string>& args) const;

  std::unique_ptr<testbed::NetBed> bed_;
  std::map<std::string, std::unique_ptr<testbed::ChildProcess>> sims_;  // ended before the bed goes
};

// The text's lines, without their newlines; a last line without one is kept too.
std::vector<std::string> lines(const std::string& text);

// The device line the tool prints for `address` and a simulator's model, serial and boot state.
std::string device_line(const std::string& address, const std::string& model, const std::string& serial,
                        const std::string& boot);

// True when `line` has the shape of a device line.
bool looks_like_device_line(const std::string& line);

}  // namespace clitest
