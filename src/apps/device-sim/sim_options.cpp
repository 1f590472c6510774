#include "sim_options.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr long kLongestWaitMs = 3600000;

bool to_number(const char* text, long low, long high, long& out) {
  const char* end = text + std::strlen(text);
  const auto [last, error] = std::from_chars(text, end, out);
  return error == std::errc() && last == end && out >= low && out <= high;
}

bool read_file(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool is_flag(const std::string& name) {
  return name == "-v" || name == "-h" || name == "--help" || name == "--no-marker";
}

bool takes_value(const std::string& name) {
  static const char* const kValued[] = {
      "--model",     "--serial",  "--boot-state",   "--count",          "--reply-to",         "--delay-ms",
      "--jitter-ms", "--payload", "--payload-file", "--announce-every", "--exit-after-probes"};
  return std::find(std::begin(kValued), std::end(kValued), name) != std::end(kValued);
}

bool set_boot_state(const std::string& state, SimOptions& options) {
  if (state == "on") {
    options.boot_state = true;
  } else if (state == "off") {
    options.boot_state = false;
  } else if (state == "none") {
    options.boot_state.reset();
  } else {
    return false;
  }
  return true;
}

bool set_reply_to(const std::string& target, SimOptions& options) {
  if (target != "source" && target != "group") return false;
  options.reply_to = target == "group" ? ReplyTo::group : ReplyTo::source;
  return true;
}

// One option with its value (null for a flag). False with `error` set.
bool apply(const std::string& name, const char* value, SimOptions& options, std::string& error) {
  long number = 0;
  bool good = true;
  if (name == "--model") {
    options.model = value;
  } else if (name == "--serial") {
    options.serial = value;
  } else if (name == "--boot-state") {
    good = set_boot_state(value, options);
  } else if (name == "--reply-to") {
    good = set_reply_to(value, options);
  } else if (name == "--payload") {
    options.payload = value;
  } else if (name == "--payload-file") {
    std::string bytes;
    if (!read_file(value, bytes)) {
      error = std::string("cannot read ") + value + ": " + std::strerror(errno);
      return false;
    }
    options.payload = std::move(bytes);
  } else if (name == "--no-marker") {
    options.marker = false;
  } else if (name == "-v") {
    options.verbose = true;
  } else if (name == "-h" || name == "--help") {
    options.help = true;
  } else if (name == "--count") {
    good = to_number(value, 1, 1000000, number);
    options.count = number;
  } else if (name == "--exit-after-probes") {
    good = to_number(value, 1, 1000000000, number);
    options.exit_after_probes = number;
  } else {
    // The waits: an hour at most keeps every sum of them far inside an int.
    good = to_number(value, name == "--announce-every" ? 1 : 0, kLongestWaitMs, number);
    const int ms = static_cast<int>(number);
    if (name == "--delay-ms") options.delay_ms = ms;
    if (name == "--jitter-ms") options.jitter_ms = ms;
    if (name == "--announce-every") options.announce_every_ms = ms;
  }
  if (!good) error = "bad value for " + name + ": " + value;
  return good;
}

}  // namespace

const char* sim_usage() {
  return "usage: vantrel-device-sim [options]\n"
         "Answers the discovery probe (one byte 0x00 to 224.0.0.120:5556) as one or many devices:\n"
         "the byte 0x01, then {\"model\": ..., \"serial_number\": ..., \"boot_state\": ...}.\n"
         "Every other datagram is ignored.\n"
         "\n"
         "  --model TEXT             model (default VX-100)\n"
         "  --serial TEXT            serial number (default SIM0001); with --count, suffixed\n"
         "                           -00001, -00002, ... (one width for all)\n"
         "  --boot-state on|off|none boot state (default on); none leaves it out\n"
         "  --count N                answer as N devices (1-1000000), all replies as fast as the\n"
         "                           socket takes them; none is dropped: a full queue is waited for\n"
         "  --reply-to source|group  answer to the probe's sender (default), or to 224.0.0.120:5556\n"
         "                           through the interface the probe came in on\n"
         "  --delay-ms MS            wait MS before answering\n"
         "  --jitter-ms MS           spread each answer's replies at random over MS\n"
         "  --payload TEXT           send TEXT after the marker instead of the JSON\n"
         "                           (the same bytes N times with --count)\n"
         "  --payload-file FILE      the same, any bytes from FILE (at most 65506;\n"
         "                           65507 with --no-marker)\n"
         "  --no-marker              leave out the marker byte 0x01\n"
         "  --announce-every MS      also send the replies unprompted every MS, to the group through\n"
         "                           every interface (with --reply-to source too: there is no sender)\n"
         "  --exit-after-probes N    exit 0 after answering N probes\n"
         "  -v                       print \"probe from A.B.C.D:port on <ifaddr>\" for each probe\n"
         "  -h, --help               this text\n"
         "\n"
         "Once bound and joined it prints \"vantrel-device-sim: ready, N device(s) on K interface(s)\"\n"
         "on standard error. Exit: 0 on SIGINT/SIGTERM or after --exit-after-probes; 2 when the\n"
         "options are wrong or it cannot bind or join.\n"
         "\n"
         "examples:\n"
         "  vantrel-device-sim --model \"VX-220 Camera\" --serial CAM-0042 --boot-state off\n"
         "  vantrel-device-sim --serial LAB7 --count 500 --jitter-ms 200 --reply-to group\n"
         "  vantrel-device-sim --payload '{\"model\":' --exit-after-probes 1 -v\n"
         "  vantrel-device-sim --serial BEACON1 --announce-every 1000\n";
}

bool parse_sim_options(int argc, char** argv, SimOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (!is_flag(name) && !takes_value(name)) {
      error = "unknown option " + name;
      return false;
    }
    if (takes_value(name) && i + 1 >= argc) {
      error = name + " needs a value";
      return false;
    }
    if (!apply(name, takes_value(name) ? argv[++i] : nullptr, options, error)) return false;
  }
  const std::size_t body = options.payload ? options.payload->size() : 0;
  if (body + (options.marker ? 1 : 0) > kMaxDatagram) {
    error = "the payload has " + std::to_string(body) + " bytes; one datagram holds " +
            std::to_string(kMaxDatagram) + ", the marker included";
    return false;
  }
  return true;
}
