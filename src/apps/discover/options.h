// The command line of vantrel-discover, as one value.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace discover {

struct Options {
  bool help = false;
  bool version = false;
  bool json = false;
  bool csv = false;
  bool watch = false;
  bool verbose = false;
  std::chrono::milliseconds timeout{2000};
  bool timeout_given = false;  // with --watch, only an explicit --timeout ends the run
  std::chrono::milliseconds interval{5000};
  std::vector<std::string> interfaces;  // IPv4 texts, no repeats; empty: every usable interface
  std::size_t expect = 0;               // 0: listen for the whole timeout
};

// `error` is empty on success; otherwise one sentence saying what is wrong with which argument.
struct ParseResult {
  Options options;
  std::string error;
};

// `args` without the program name.
ParseResult parse_options(const std::vector<std::string_view>& args);

}  // namespace discover
