#include "vantrel/protocol.h"

#include <cstring>
#include <nlohmann/json.hpp>

namespace protocol {

bool is_reply(const char* data, std::size_t size) {
  return size > 0 && static_cast<unsigned char>(data[0]) == kReplyMarker;
}

std::string_view reply_json_text(const char* data, std::size_t size) {
  if (size <= 1) return {};
  const char* text = data + 1;
  const std::size_t available = size - 1;
  const void* zero = std::memchr(text, 0, available);
  const std::size_t length =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : available;
  return {text, length};
}

namespace {

DeviceInfo read_members(const nlohmann::json& object) {
  DeviceInfo device;
  // value() throws type_error 306 for a non-object and 302 for a member that is not a string.
  device.model = object.value("model", std::string());
  device.serial_number = object.value("serial_number", std::string());
  if (object.contains("boot_state")) device.boot_state = object.at("boot_state").get<bool>();
  return device;
}

}  // namespace

std::optional<DeviceInfo> decode_device(const char* data, std::size_t size) {
  if (!is_reply(data, size)) return std::nullopt;
  const std::string_view text = reply_json_text(data, size);
  try {
    // Strict: exactly one JSON value, no comments; duplicate keys keep the last occurrence.
    const nlohmann::json object = nlohmann::json::parse(text.begin(), text.end(), nullptr, true, false);
    if (!object.is_object()) return std::nullopt;
    DeviceInfo device = read_members(object);
    if (device.model.empty() || device.serial_number.empty()) return std::nullopt;
    return device;
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // a device's malformed reply is its problem, not ours: no line
  }
}

std::string device_line(std::string_view host, const DeviceInfo& device) {
  std::string line;
  line.reserve(host.size() + device.model.size() + device.serial_number.size() + 48);
  line.append(host).append(", Model: ").append(device.model);
  line.append(", Serial Number: ").append(device.serial_number);
  if (device.boot_state.has_value())
    line.append(", Boot State: ").append(*device.boot_state ? " ON" : " OFF");
  return line;
}

std::optional<std::string> decode_reply(const char* data, std::size_t size, std::string_view host) {
  const std::optional<DeviceInfo> device = decode_device(data, size);
  if (!device) return std::nullopt;
  return device_line(host, *device);
}

}  // namespace protocol
