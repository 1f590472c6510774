#include "startup.h"

#include <cstdio>

#include "vantrel/discovery_endpoint.h"

namespace discover {

std::optional<SetupFailure> interfaces_to_use(const std::vector<std::string>& chosen,
                                              std::vector<platform::Adapter>& out) {
  if (chosen.empty()) return addressed_interfaces(out);
  out.clear();
  // Index 0: named by its address, which is all the user gave.
  for (const std::string& address : chosen) out.push_back({address, address, 0, address, {}});
  return std::nullopt;
}

std::string reason(int error) {
  return platform::error_text(error);
}

void report(const std::string& line) {
  std::fprintf(stderr, "vantrel-discover: %s\n", line.c_str());
}

}  // namespace discover
