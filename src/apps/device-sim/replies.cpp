#include "replies.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

std::string json_of(const SimOptions& options, long index) {
  nlohmann::json object = {{"model", options.model},
                           {"serial_number", serial_of(options.serial, options.count, index)}};
  if (options.boot_state) object["boot_state"] = *options.boot_state;
  // Invalid UTF-8 in a name is dropped here; --payload sends any bytes at all.
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::ignore);
}

}  // namespace

std::string serial_of(const std::string& serial, long count, long index) {
  if (count == 1) return serial;
  const std::string number = std::to_string(index + 1);
  const std::size_t width = std::max<std::size_t>(5, std::to_string(count).size());
  return serial + "-" + std::string(width - number.size(), '0') + number;
}

Replies::Replies(const SimOptions& options) : count_(static_cast<std::size_t>(options.count)) {
  const std::string marker = options.marker ? std::string(1, '\x01') : std::string();
  if (options.payload) {
    datagrams_.push_back(marker + *options.payload);
    return;
  }
  datagrams_.reserve(count_);
  for (long i = 0; i < options.count; ++i) datagrams_.push_back(marker + json_of(options, i));
}
