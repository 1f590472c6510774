#include "window_status.h"

#include "platform.h"
#include "vantrel/device_table.h"
#include "vantrel/failure_words.h"
#include "vantrel/protocol.h"

namespace {

// A socket buffer below this holds only a few thousand small replies: worth a hint where it can be raised.
constexpr int kSmallReceiveBuffer = 4 * 1024 * 1024;

std::string sentence(std::string words) {
  if (!words.empty() && words.front() >= 'a' && words.front() <= 'z') words.front() -= 'a' - 'A';
  if (!words.empty() && words.back() != '.') words += '.';
  return words;
}

std::string plural(std::uint64_t count, const char* one, const char* many) {
  return with_thousands(count) + " " + (count == 1 ? one : many);
}

std::string probe_words(const ProbeWalk& walk) {
  return "Probed " + plural(walk.probed, "interface", "interfaces") + " at " + walk.at;
}

void add_loss(std::string& words, std::uint64_t count, const std::string& what) {
  if (count == 0) return;
  words += (words.empty() ? "" : "; ") + with_thousands(count) + " " + what;
}

std::string loss_words(const WindowStatus& status) {
  const Losses& losses = status.losses;
  std::string words;
  add_loss(
      words, losses.received.oversized,
      "longer than " + with_thousands(protocol::kMaxReplySize) + " bytes (not replies of this protocol)");
  if (losses.received.system_dropped > 0) {
    std::string dropped = "dropped by the system with the receive queue full";
    if (status.receive_buffer > 0)
      dropped +=
          " (receive buffer " + with_thousands(static_cast<std::uint64_t>(status.receive_buffer)) + " bytes";
    if (status.receive_buffer > 0 && status.receive_buffer < kSmallReceiveBuffer &&
        status.largest_receive_buffer > 0) {
      dropped += "; raise net.core.rmem_max for a larger one";
    }
    if (status.receive_buffer > 0) dropped += ")";
    add_loss(words, losses.received.system_dropped, dropped);
  }
  add_loss(words, losses.received.ring_full, "while decoding fell behind the network");
  add_loss(words, losses.behind, "while the window could not keep up");
  add_loss(
      words, losses.list_full,
      "with the list full at " + with_thousands(DeviceTable::kDefaultCapacity) + " lines; press Refresh");
  return words.empty() ? words : "Replies lost: " + words + ".";
}

// Most serious first: nothing can be found at all, then devices that cannot be heard, then lost replies.
std::vector<std::string> problems(const WindowStatus& status) {
  std::vector<std::string> found;
  if (status.start_failure) {
    found.push_back("Discovery could not start: " + sentence(failure_words(*status.start_failure)));
  }
  if (status.last_walk) {
    const ProbeWalk& walk = *status.last_walk;
    if (walk.listing) found.push_back(sentence(failure_words(*walk.listing)));
    if (!walk.listing && walk.interfaces == 0) {
      found.push_back(sentence(kNoInterfaceWords) + " Once one is, press Refresh.");
    }
    for (const SetupFailure& failure : walk.failures) found.push_back(sentence(failure_words(failure)));
  }
  if (!status.port_warning.empty()) found.push_back(status.port_warning);
  if (status.silent) {
    found.push_back(std::string("No device has answered. Check that the devices are powered and on this "
                                "network, and that ") +
                    platform::kFirewallName + " lets UDP port " + protocol::kService + " in.");
  }
  if (std::string lost = loss_words(status); !lost.empty()) found.push_back(std::move(lost));
  return found;
}

}  // namespace

std::string with_thousands(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

std::string device_count_words(std::size_t devices, std::optional<std::size_t> shown) {
  if (devices == 0) return "No devices yet";
  if (shown) return with_thousands(*shown) + " of " + plural(devices, "device", "devices");
  return plural(devices, "device", "devices");
}

StatusText status_text(const WindowStatus& status) {
  std::vector<std::string> items{device_count_words(status.devices, status.shown)};
  if (status.flagged > 0) items.push_back(plural(status.flagged, "problem", "problems"));
  if (status.last_walk && !status.last_walk->at.empty()) items.push_back(probe_words(*status.last_walk));
  for (std::string& problem : problems(status)) items.push_back(std::move(problem));
  StatusText text;
  for (const std::string& item : items) {
    text.line += (text.line.empty() ? "" : "  \xC2\xB7  ") + item;  // a middle dot between items
    text.details += (text.details.empty() ? "" : "\n") + item;
  }
  return text;
}
