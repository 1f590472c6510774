// A test-only discoverer built from the core alone: inside a namespace it opens the discovery socket,
// joins the group and probes through every interface, and lists the replies for a bounded time.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace simtest {

struct ProbeRun {
  int rounds = 1;                          // probes through every interface; 0 only listens
  std::size_t expect = 0;                  // lines after which listening may end early
  std::chrono::milliseconds listen{2000};  // the longest listening
  std::chrono::milliseconds settle{300};   // listening after `expect` lines, for extras and duplicates
};

struct ProbeResult {
  bool opened = false;             // socket and group were ready
  std::vector<std::string> lines;  // distinct device lines, in arrival order
  std::size_t replies = 0;         // replies that gave a line, duplicates included
  std::string diagnostics;         // the core's own lines, for failure messages
};

ProbeResult probe(const std::string& ns, const ProbeRun& run);

}  // namespace simtest
