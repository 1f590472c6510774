#include "sim_bed.h"

#include <chrono>

namespace simtest {

using namespace std::chrono_literals;

void SimBed::SetUp() {
  if (const std::string why = testbed::unavailable_reason(); !why.empty()) GTEST_SKIP() << why;
}

void SimBed::build(int segments) {
  bed_ = std::make_unique<testbed::NetBed>(segments);
  ASSERT_TRUE(bed_->ok()) << "netbed up failed";
}

std::vector<std::string> SimBed::add_namespace(const std::string& name, const std::string& segments) {
  std::vector<std::string> addresses = bed_->add_device(name, segments);
  EXPECT_FALSE(addresses.empty()) << "netbed device " << name << " " << segments << " failed";
  return addresses;
}

testbed::ChildProcess& SimBed::start_sim(const std::string& name, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {testbed::bin("vantrel-device-sim")};
  argv.insert(argv.end(), args.begin(), args.end());
  sims_.push_back(std::make_unique<testbed::ChildProcess>(bed_->in(name, argv)));
  testbed::ChildProcess& sim = *sims_.back();
  EXPECT_TRUE(sim.wait_for("vantrel-device-sim: ready,", 5s, true))
      << describe(argv) << " in " << name << " did not get ready; its stderr:\n"
      << sim.err();
  return sim;
}

std::vector<std::string> SimBed::add_device(const std::string& name, const std::string& segments,
                                            const std::vector<std::string>& args) {
  std::vector<std::string> addresses = add_namespace(name, segments);
  if (!addresses.empty()) start_sim(name, args);
  return addresses;
}

std::string device_line(const std::string& host, const std::string& model, const std::string& serial,
                        const std::string& boot) {
  std::string line = host + ", Model: " + model + ", Serial Number: " + serial;
  if (boot == "on") line += ", Boot State:  ON";
  if (boot == "off") line += ", Boot State:  OFF";
  return line;
}

std::string describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += (text.empty() ? "" : " ") + arg;
  return text;
}

}  // namespace simtest
