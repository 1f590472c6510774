// The discovery exchange on the wire and the device line a reply turns into.
//
// Probe: one datagram of one byte, 0x00, sent to the group. Reply: the byte 0x01, then a JSON object that
// ends at the first zero byte or at the datagram's end.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

inline constexpr const char* kGroupAddress = "224.0.0.120";
inline constexpr const char* kService = "5556";
inline constexpr int kMulticastTtl = 8;
inline constexpr int kMulticastLoopback = 0;
inline constexpr char kProbe[1] = {0x00};
inline constexpr unsigned char kReplyMarker = 0x01;
inline constexpr int kMaxReplySize = 2048;  // marker included; also the receive buffer's size

// What a reply says about its device.
struct DeviceInfo {
  std::string model;
  std::string serial_number;
  std::optional<bool> boot_state;  // absent when the reply has no "boot_state" member
};

// True when the datagram starts with the reply marker.
bool is_reply(const char* data, std::size_t size);

// The reply's JSON text: from the byte after the marker up to the first zero byte or the end.
std::string_view reply_json_text(const char* data, std::size_t size);

// Decodes a reply. None for a datagram that is not a reply, JSON that does not parse strictly as one
// object, members of the wrong type, or an empty/missing model or serial number. Never throws.
std::optional<DeviceInfo> decode_device(const char* data, std::size_t size);

// "<host>, Model: <m>, Serial Number: <s>[, Boot State:  ON|  OFF]" (two blanks before ON/OFF).
std::string device_line(std::string_view host, const DeviceInfo& device);

// decode_device and device_line in one step.
std::optional<std::string> decode_reply(const char* data, std::size_t size, std::string_view host);

}  // namespace protocol
