#include "sim_options.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

bool to_number(const char* text, long low, long high, long& out) {
  const char* end = text + std::strlen(text);
  const auto [last, error] = std::from_chars(text, end, out);
  return error == std::errc() && last == end && out >= low && out <= high;
}

bool read_file(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

const char* sim_usage() {
  return "usage: vantrel-device-sim [options]\n"
         "Answers the discovery probe (one byte 0x00 to 224.0.0.120:5556) as one or many devices.\n"
         "\n"
         "  --model TEXT             model (default VX-100)\n"
         "  --serial TEXT            serial number (default SIM0001); with --count, suffixed -00001, -00002, ...\n"
         "  --boot-state on|off|none boot state (default on); none leaves it out\n"
         "  --count N                answer as N devices, all replies as fast as the socket takes them\n"
         "  --reply-to source|group  answer to the probe's sender (default) or to the group\n"
         "  --delay-ms MS            wait before answering\n"
         "  --jitter-ms MS           spread a burst's replies at random over MS\n"
         "  --payload TEXT           send TEXT after the marker instead of the JSON\n"
         "  --payload-file FILE      the same, from a file (any bytes, up to 64 KiB)\n"
         "  --no-marker              leave out the marker byte 0x01\n"
         "  --announce-every MS      also send the replies unprompted, to the group, every MS\n"
         "  --exit-after-probes N    end after answering N probes\n"
         "  -v                       each probe heard, on standard error\n"
         "  -h, --help               this text\n"
         "\n"
         "example: vantrel-device-sim --model \"VX-220 Camera\" --serial CAM-0042 --boot-state off --count 500\n";
}

bool parse_sim_options(int argc, char** argv, SimOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    const bool flag = name == "-v" || name == "-h" || name == "--help" || name == "--no-marker";
    static const char* const kValued[] = {"--model",     "--serial",       "--boot-state",   "--count",
                                          "--reply-to",  "--delay-ms",     "--jitter-ms",    "--payload",
                                          "--payload-file", "--announce-every", "--exit-after-probes"};
    const bool takes_value = std::find(std::begin(kValued), std::end(kValued), name) != std::end(kValued);
    if (!flag && !takes_value) {
      error = "unknown option " + name;
      return false;
    }
    if (takes_value && i + 1 >= argc) {
      error = name + " needs a value";
      return false;
    }
    const char* value = takes_value ? argv[++i] : nullptr;
    long number = 0;
    if (name == "--model") {
      options.model = value;
    } else if (name == "--serial") {
      options.serial = value;
    } else if (name == "--boot-state") {
      const std::string state = value;
      if (state == "on") options.boot_state = true;
      else if (state == "off") options.boot_state = false;
      else if (state == "none") options.boot_state.reset();
      else { error = "--boot-state takes on, off or none"; return false; }
    } else if (name == "--count" && to_number(value, 1, 1000000, number)) {
      options.count = number;
    } else if (name == "--reply-to" && (std::strcmp(value, "source") == 0 || std::strcmp(value, "group") == 0)) {
      options.reply_to = std::strcmp(value, "group") == 0 ? ReplyTo::group : ReplyTo::source;
    } else if (name == "--delay-ms" && to_number(value, 0, 600000, number)) {
      options.delay_ms = static_cast<int>(number);
    } else if (name == "--jitter-ms" && to_number(value, 0, 600000, number)) {
      options.jitter_ms = static_cast<int>(number);
    } else if (name == "--payload") {
      options.payload = value;
    } else if (name == "--payload-file") {
      std::string bytes;
      if (!read_file(value, bytes)) { error = std::string("cannot read ") + value; return false; }
      options.payload = bytes;
    } else if (name == "--no-marker") {
      options.marker = false;
    } else if (name == "--announce-every" && to_number(value, 1, 3600000, number)) {
      options.announce_every_ms = static_cast<int>(number);
    } else if (name == "--exit-after-probes" && to_number(value, 1, 1000000000, number)) {
      options.exit_after_probes = number;
    } else if (name == "-v") {
      options.verbose = true;
    } else if (name == "-h" || name == "--help") {
      options.help = true;
    } else {
      error = "bad value for " + name + ": " + value;
      return false;
    }
  }
  return true;
}
