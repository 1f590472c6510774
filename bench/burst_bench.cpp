// Burst: N simulated devices answer one probe as fast as the simulator can send. What the tools list is
// compared with what a plain receive loop gets on the same topology: the machine's reference.
//
//   burst_bench [N ...]        (default: 1000 10000)
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "netbed.h"
#include "timed_lines.h"

namespace {

using namespace std::chrono_literals;

struct Figures {
  long listed = 0;
  double last_ms = 0;  // from the probe to the last one listed
};

bool starts_with(const std::string& text, const std::string& lead) {
  return text.rfind(lead, 0) == 0;
}

// "received N datagrams, last at T ms after the probe, receive buffer B bytes"
std::optional<Figures> reference(const testbed::NetBed& bed, bool raised, long& buffer) {
  std::vector<std::string> argv = {testbed::bin("reference_receiver")};
  if (!raised) argv.push_back("--default-buffer");
  const auto lines = run_timed(bed.in("tool", argv), 60s, [](const auto&) { return false; });
  for (const TimedLine& line : lines) {
    Figures figures;
    if (!line.on_stderr && std::sscanf(line.text.c_str(),
                                       "received %ld datagrams, last at %lf ms after the probe, "
                                       "receive buffer %ld bytes",
                                       &figures.listed, &figures.last_ms, &buffer) == 3) {
      return figures;
    }
  }
  return std::nullopt;
}

// Counts the lines that `is_listed` accepts; the probe time is the last "Set sending interface" line.
Figures measure(const std::vector<std::string>& argv, long expected, bool (*is_listed)(const TimedLine&)) {
  long seen = 0;
  double last_activity = 0;
  const auto lines = run_timed(argv, 60s, [&](const std::vector<TimedLine>& so_far) {
    seen = 0;
    for (const TimedLine& line : so_far) {
      if (is_listed(line)) {
        ++seen;
        last_activity = line.ms;
      }
    }
    const double now = so_far.empty() ? 0 : so_far.back().ms;
    return seen >= expected || (seen > 0 && now - last_activity > 3000);
  });
  Figures figures;
  double probe_ms = 0;
  for (const TimedLine& line : lines) {
    if (line.text.find("Set sending interface to: ") != std::string::npos) probe_ms = line.ms;
    if (is_listed(line)) {
      ++figures.listed;
      figures.last_ms = line.ms - probe_ms;
    }
  }
  return figures;
}

bool cli_line(const TimedLine& line) {
  return !line.on_stderr && line.text.find(", Model: ") != std::string::npos;
}
bool window_line(const TimedLine& line) {
  return !line.on_stderr && starts_with(line.text, "read ");
}

void print_row(const char* who, const Figures& tool, const Figures& ref) {
  std::printf("  %-26s listed %6ld of reference %6ld  ratio %.4f   last at %8.1f ms vs %8.1f ms  (x%.2f)\n",
              who, tool.listed, ref.listed,
              ref.listed > 0 ? static_cast<double>(tool.listed) / static_cast<double>(ref.listed) : 0.0,
              tool.last_ms, ref.last_ms, ref.last_ms > 0 ? tool.last_ms / ref.last_ms : 0.0);
}

bool run(long devices) {
  testbed::NetBed bed(1);
  bed.add_device("dev", "0");
  testbed::ChildProcess sim(bed.in("dev", {testbed::bin("vantrel-device-sim"), "--count",
                                           std::to_string(devices), "--model", "VX-BURST", "--serial", "B"}));
  if (!sim.wait_for("ready", 10s, true)) {
    std::printf("burst %ld: simulator did not start: %s\n", devices, sim.err().c_str());
    return false;
  }
  long default_buffer = 0;
  long raised_buffer = 0;
  const auto before = reference(bed, false, default_buffer);
  std::this_thread::sleep_for(500ms);
  const auto ref = reference(bed, true, raised_buffer);
  if (!before || !ref) return false;
  std::this_thread::sleep_for(500ms);
  const Figures cli = measure(bed.in("tool", {testbed::bin("vantrel-discover"), "--timeout", "30", "--expect",
                                              std::to_string(devices), "-v"}),
                              devices, cli_line);
  std::this_thread::sleep_for(500ms);
  const Figures window =
      measure(bed.in("tool", {"env", "QT_QPA_PLATFORM=offscreen", testbed::bin("vantrel-discovery")}),
              devices, window_line);

  std::printf("burst of %ld devices:\n", devices);
  std::printf("  reference, default buffer (%ld bytes): %ld received, last at %.1f ms\n", default_buffer,
              before->listed, before->last_ms);
  std::printf("  reference, raised buffer (%ld bytes): %ld received, last at %.1f ms\n", raised_buffer,
              ref->listed, ref->last_ms);
  print_row("vantrel-discover", cli, *ref);
  print_row("vantrel-discovery (window)", window, *ref);
  const auto met = [&](const Figures& tool) {
    return ref->listed > 0 && static_cast<double>(tool.listed) >= 0.99 * static_cast<double>(ref->listed) &&
           tool.last_ms <= 1.5 * std::max(ref->last_ms, 1.0);
  };
  std::printf("burst summary N=%ld: cli %.4f of reference in x%.2f time, window %.4f in x%.2f: %s\n", devices,
              static_cast<double>(cli.listed) / static_cast<double>(std::max(ref->listed, 1L)),
              cli.last_ms / std::max(ref->last_ms, 1.0),
              static_cast<double>(window.listed) / static_cast<double>(std::max(ref->listed, 1L)),
              window.last_ms / std::max(ref->last_ms, 1.0),
              met(cli) && met(window) ? "goals met" : "goals NOT met");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::string why = testbed::unavailable_reason(); !why.empty()) {
    std::printf("burst bench skipped: %s\n", why.c_str());
    return 0;
  }
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::stol(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000};
  for (const long devices : sizes) run(devices);
  return 0;
}
