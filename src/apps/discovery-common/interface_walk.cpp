#include "interface_walk.h"

#include <ctime>

#include "app_state.h"
#include "vantrel/discovery_endpoint.h"

namespace {

std::string local_time_now() {
  const std::tm local = platform::local_time(std::time(nullptr));
  char text[16] = {};
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

}  // namespace

ProbeWalk walk_interfaces() {
  ProbeWalk walk;
  walk.at = local_time_now();
  std::vector<platform::Adapter> interfaces;
  walk.listing = addressed_interfaces(interfaces);
  walk.interfaces = interfaces.size();
  walk.host = HostInterfaces(interfaces);
  // Every join is made before the first probe leaves, so that no early answer meets an interface that
  // has not joined yet.
  const WalkOutcome joins = endpoint.join(interfaces);
  const WalkOutcome probes = endpoint.probe(interfaces);
  walk.probed = probes.succeeded;
  walk.failures = joins.failures;
  walk.failures.insert(walk.failures.end(), probes.failures.begin(), probes.failures.end());
  return walk;
}
