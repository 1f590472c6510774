#include "simulator_bed.h"

#include <chrono>
#include <sstream>

namespace testbed {

using namespace std::chrono_literals;

std::vector<std::string> SimulatorBed::add_namespace(const std::string& name, const std::string& segments) {
  std::vector<std::string> addresses = bed_->add_device(name, segments);
  EXPECT_FALSE(addresses.empty()) << "netbed.sh device " << name << " " << segments << " failed";
  return addresses;
}

ChildProcess& SimulatorBed::start_sim(const std::string& name, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {bin("vantrel-device-sim")};
  argv.insert(argv.end(), args.begin(), args.end());
  sims_.push_back(std::make_unique<ChildProcess>(bed_->in(name, argv)));
  ChildProcess& sim = *sims_.back();
  EXPECT_TRUE(sim.wait_for("vantrel-device-sim: ready,", 10s, true))
      << describe(argv) << " in " << name << " did not get ready; its stderr:\n"
      << sim.err();
  return sim;
}

std::vector<std::string> SimulatorBed::add_device(const std::string& name, const std::string& segments,
                                                  const std::vector<std::string>& args) {
  std::vector<std::string> addresses = add_namespace(name, segments);
  if (!addresses.empty()) start_sim(name, args);
  return addresses;
}

void SimulatorBed::readdress(const std::string& name, const std::string& cidr) {
  const std::string ip = "ip -n " + bed_->ns(name) + " ";
  EXPECT_EQ(run_shell(ip + "addr flush dev eth0 && " + ip + "addr add " + cidr + " dev eth0"), 0)
      << "cannot give " << name << " the address " << cidr;
}

void SimulatorBed::route_tool_by_default_through(const std::string& interface) {
  const std::string ns = bed_->ns("tool");
  EXPECT_EQ(run_shell("ip -n " + ns + " route add default dev " + interface + " && ip netns exec " + ns +
                      " sh -c 'for f in /proc/sys/net/ipv4/conf/*/rp_filter; do "
                      "echo 0 > $f; done'"),
            0)
      << "cannot route the tool namespace through " << interface;
}

std::string SimulatorBed::add_problem_devices() {
  route_tool_by_default_through("eth1");
  const struct {
    const char* name;
    const char* cidr;
    const char* serial;
  } devices[] = {{"stray", "192.168.1.50/24", "STRAY"},
                 {"twin-a", "10.77.0.50/24", "TWIN-A"},
                 {"twin-b", "10.77.0.50/24", "TWIN-B"},
                 {"good", nullptr, "GOOD"}};
  std::string good;
  for (const auto& d : devices) {
    const std::vector<std::string> addresses = add_namespace(d.name, "0");
    if (addresses.empty()) return {};
    if (d.cidr != nullptr) readdress(d.name, d.cidr);
    if (d.cidr == nullptr) good = addresses[0];
    start_sim(d.name, {"--model", "VX", "--serial", d.serial, "--boot-state", "none", "--reply-to", "group"});
  }
  return good;
}

std::string device_line(const std::string& host, const std::string& model, const std::string& serial,
                        const std::string& boot) {
  std::string line = host + ", Model: " + model + ", Serial Number: " + serial;
  if (boot == "on") line += ", Boot State:  ON";
  if (boot == "off") line += ", Boot State:  OFF";
  return line;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string describe(const std::vector<std::string>& args) {
  std::string text;
  for (const std::string& arg : args) text += (text.empty() ? "" : " ") + arg;
  return text;
}

}  // namespace testbed
