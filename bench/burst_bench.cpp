// Burst: N simulated devices answer one probe as fast as the simulator can send. Each run takes the same
// burst with a plain receive loop (the machine's reference), vantrel-discover and the window, once with a
// stock desktop's receive buffer and once with the raised one this machine allows: what users get.
//
//   burst_bench [--runs R] [N ...]        (default: 5 runs of 10000 and of 100000)
//
// A row per case: the median listed, the median ratio to the plain loop with the same buffer (paired
// run by run), the median time from the first to the last one listed, and CPU time per reply.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
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
  double first_to_last_ms = 0;
  double cpu_us_per_reply = 0;
};

enum class Receiver { plain_loop, discover, window };
enum class Buffer { stock, raised };

const char* name(Receiver receiver) {
  switch (receiver) {
    case Receiver::plain_loop:
      return "plain receive loop";
    case Receiver::discover:
      return "vantrel-discover";
    default:
      return "vantrel-discovery (window)";
  }
}

double per_reply(double cpu_seconds, long listed) {
  return listed > 0 ? 1e6 * cpu_seconds / static_cast<double>(listed) : 0.0;
}

// "received N datagrams, last at T ms after the probe, first at F ms, receive buffer B bytes"
std::optional<Figures> plain_loop(const testbed::NetBed& bed, Buffer buffer, long& granted) {
  // It asks for the raised buffer as the tools do; at stock size the same cap as theirs applies.
  std::vector<std::string> argv = {"env"};
  if (buffer == Buffer::stock) argv.push_back("LD_PRELOAD=" + testbed::bin("rcvbuf_cap.so"));
  argv.push_back(testbed::bin("reference_receiver"));
  double cpu = 0;
  const auto lines = run_timed(
      bed.in("tool", argv), 120s, [](const auto&) { return false; }, &cpu);
  for (const TimedLine& line : lines) {
    Figures figures;
    double last = 0;
    double first = 0;
    if (!line.on_stderr && std::sscanf(line.text.c_str(),
                                       "received %ld datagrams, last at %lf ms after the probe, first at %lf "
                                       "ms, receive buffer %ld bytes",
                                       &figures.listed, &last, &first, &granted) == 4) {
      figures.first_to_last_ms = last - first;
      figures.cpu_us_per_reply = per_reply(cpu, figures.listed);
      return figures;
    }
  }
  return std::nullopt;
}

bool cli_line(const TimedLine& line) {
  return !line.on_stderr && line.text.find(", Model: ") != std::string::npos;
}
bool window_line(const TimedLine& line) {
  return !line.on_stderr && line.text.rfind("read ", 0) == 0;
}

// Counts the lines that `is_listed` accepts until all came or none for 3 s.
Figures measure(const std::vector<std::string>& argv, long expected, bool (*is_listed)(const TimedLine&)) {
  using Clock = std::chrono::steady_clock;
  long seen = 0;
  Clock::time_point last_change = Clock::now();
  double cpu = 0;
  const auto lines = run_timed(
      argv, 120s,
      [&](const std::vector<TimedLine>& so_far) {
        const long now_seen = static_cast<long>(std::count_if(so_far.begin(), so_far.end(), is_listed));
        if (now_seen != seen) last_change = Clock::now();
        seen = now_seen;
        return seen >= expected || (seen > 0 && Clock::now() - last_change > 3s);
      },
      &cpu);
  Figures figures;
  double first = -1;
  for (const TimedLine& line : lines) {
    if (!is_listed(line)) continue;
    ++figures.listed;
    if (first < 0) first = line.ms;
    figures.first_to_last_ms = line.ms - first;
  }
  figures.cpu_us_per_reply = per_reply(cpu, figures.listed);
  return figures;
}

Figures tool(const testbed::NetBed& bed, Receiver receiver, Buffer buffer, long devices) {
  std::vector<std::string> argv = {"env"};
  if (buffer == Buffer::stock) argv.push_back("LD_PRELOAD=" + testbed::bin("rcvbuf_cap.so"));
  if (receiver == Receiver::discover) {
    argv.insert(argv.end(),
                {testbed::bin("vantrel-discover"), "--timeout", "60", "--expect", std::to_string(devices)});
    return measure(bed.in("tool", argv), devices, cli_line);
  }
  argv.insert(argv.end(), {"QT_QPA_PLATFORM=offscreen", testbed::bin("vantrel-discovery")});
  return measure(bed.in("tool", argv), devices, window_line);
}

template <typename Value>
double median(std::vector<Value> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t mid = values.size() / 2;
  return values.size() % 2 == 1
             ? static_cast<double>(values[mid])
             : (static_cast<double>(values[mid - 1]) + static_cast<double>(values[mid])) / 2;
}

struct Case {
  std::vector<long> listed;
  std::vector<double> ratio;  // to the plain loop of the same run and buffer
  std::vector<double> first_to_last_ms;
  std::vector<double> time_ratio;
  std::vector<double> cpu_us;
};

bool run(long devices, int runs) {
  testbed::NetBed bed(1);
  bed.add_device("dev", "0");
  testbed::ChildProcess sim(bed.in("dev", {testbed::bin("vantrel-device-sim"), "--count",
                                           std::to_string(devices), "--model", "VX-BURST", "--serial", "B"}));
  if (!sim.wait_for("ready", 10s, true)) {
    std::printf("burst %ld: simulator did not start: %s\n", devices, sim.err().c_str());
    return false;
  }
  std::map<std::pair<Buffer, Receiver>, Case> cases;
  std::map<Buffer, long> granted;
  for (int run = 0; run < runs; ++run) {
    for (const Buffer buffer : {Buffer::stock, Buffer::raised}) {
      const auto reference = plain_loop(bed, buffer, granted[buffer]);
      if (!reference) return false;
      std::map<Receiver, Figures> figures = {{Receiver::plain_loop, *reference}};
      for (const Receiver receiver : {Receiver::discover, Receiver::window}) {
        std::this_thread::sleep_for(300ms);
        figures[receiver] = tool(bed, receiver, buffer, devices);
      }
      for (const auto& [receiver, got] : figures) {
        Case& row = cases[{buffer, receiver}];
        row.listed.push_back(got.listed);
        row.ratio.push_back(reference->listed > 0
                                ? static_cast<double>(got.listed) / static_cast<double>(reference->listed)
                                : 0);
        row.first_to_last_ms.push_back(got.first_to_last_ms);
        row.time_ratio.push_back(got.first_to_last_ms / std::max(reference->first_to_last_ms, 1.0));
        row.cpu_us.push_back(got.cpu_us_per_reply);
      }
      std::this_thread::sleep_for(300ms);
    }
  }
  std::printf("burst of %ld devices, %d paired runs (medians):\n", devices, runs);
  std::printf("  %-7s %-11s %-27s %8s %8s %12s %8s %11s\n", "buffer", "(bytes)", "receiver", "listed",
              "ratio", "first-last", "x time", "CPU/reply");
  for (const auto& [key, row] : cases) {
    const auto& [buffer, receiver] = key;
    std::printf("  %-7s %-11ld %-27s %8.0f %8.4f %9.1f ms %8.2f %8.2f us\n",
                buffer == Buffer::stock ? "stock" : "raised", granted[buffer], name(receiver),
                median(row.listed), median(row.ratio), median(row.first_to_last_ms), median(row.time_ratio),
                median(row.cpu_us));
  }
  for (const Buffer buffer : {Buffer::stock, Buffer::raised}) {
    for (const Receiver receiver : {Receiver::discover, Receiver::window}) {
      const Case& row = cases[{buffer, receiver}];
      const bool whole = buffer == Buffer::stock ? median(row.ratio) >= 0.99
                                                 : median(row.listed) >= static_cast<double>(devices);
      std::printf("  goal N=%ld %s %s: %s %s, time x%.2f %s\n", devices,
                  buffer == Buffer::stock ? "stock" : "raised", name(receiver),
                  buffer == Buffer::stock ? "ratio >= 0.99" : "all listed", whole ? "met" : "NOT met",
                  median(row.time_ratio), median(row.time_ratio) <= 1.5 ? "met" : "NOT met");
    }
  }
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::string why = testbed::unavailable_reason(); !why.empty()) {
    std::printf("burst bench skipped: %s\n", why.c_str());
    return 0;
  }
  int runs = 5;
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::stoi(argv[++i]);
    } else {
      sizes.push_back(std::stol(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {10000, 100000};
  for (const long devices : sizes) run(devices, runs);
  return 0;
}
