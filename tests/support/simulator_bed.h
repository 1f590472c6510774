// A test fixture: a namespace bed (built with build()) with simulated devices (vantrel-device-sim) in
// device namespaces.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bed_test.h"
#include "child_process.h"

namespace testbed {

class SimulatorBed : public BedTest {
 protected:
  // A device namespace on `segments` ("0" or "0,1"); its addresses in segment order (empty on failure).
  std::vector<std::string> add_namespace(const std::string& name, const std::string& segments);

  // Starts a simulator in device namespace `name` and waits for its ready line (a test failure if none).
  ChildProcess& start_sim(const std::string& name, const std::vector<std::string>& args);

  // add_namespace and start_sim in one: a device with a namespace of its own.
  std::vector<std::string> add_device(const std::string& name, const std::string& segments,
                                      const std::vector<std::string>& args);

  // Gives device namespace `name` the address `cidr` ("192.168.1.50/24") in place of the bed's own, as a
  // device left at another site's address; before its simulator starts (a test failure if it cannot).
  void readdress(const std::string& name, const std::string& cidr);

  // The tool namespace's default route leaves by `interface` (so that the route back to a stray device
  // names another interface than the one it answers on), with reverse-path filtering off, as on a
  // multi-homed desktop.
  void route_tool_by_default_through(const std::string& interface);

  // The devices a technician must deal with, on segment 0 of a two-segment bed (eth0, 10.77.0.1/24) whose
  // tool namespace routes by default through eth1: "stray" left at 192.168.1.50, "twin-a" and "twin-b"
  // both at 10.77.0.50, "good" at the bed's own address. Each has model VX, its name in capitals as its
  // serial number, no boot state, and answers to the group, so that it is heard whatever its address.
  // The good device's address; empty (after a test failure) when the bed could not be made.
  std::string add_problem_devices();

  std::vector<std::unique_ptr<ChildProcess>> sims_;  // ended before the bed goes
};

// The device line for `host` and a simulator's model, serial and --boot-state ("on", "off", "none").
std::string device_line(const std::string& host, const std::string& model, const std::string& serial,
                        const std::string& boot = "on");

// The text's lines, without their newlines.
std::vector<std::string> lines(const std::string& text);

// The program and its arguments, for messages.
std::string describe(const std::vector<std::string>& args);

}  // namespace testbed
