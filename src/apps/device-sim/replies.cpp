#include "replies.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace {

std::string serial_of(const SimOptions& options, long index) {
  if (options.count == 1) return options.serial;
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, "-%05ld", index + 1);
  return options.serial + suffix;
}

std::string json_of(const SimOptions& options, long index) {
  nlohmann::json object = {{"model", options.model}, {"serial_number", serial_of(options, index)}};
  if (options.boot_state) object["boot_state"] = *options.boot_state;
  // Invalid UTF-8 in a name is dropped here; --payload sends any bytes at all.
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::ignore);
}

}  // namespace

std::vector<std::string> build_replies(const SimOptions& options) {
  std::vector<std::string> replies;
  replies.reserve(static_cast<size_t>(options.count));
  const std::string marker = options.marker ? std::string(1, '\x01') : std::string();
  for (long i = 0; i < options.count; ++i) {
    replies.push_back(marker + (options.payload ? *options.payload : json_of(options, i)));
  }
  return replies;
}
