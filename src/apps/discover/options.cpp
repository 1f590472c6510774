#include "options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <optional>

#include "platform.h"

namespace discover {
namespace {

// Far beyond any sensible run, and small enough that the milliseconds never overflow.
constexpr double kLongestSeconds = 1e7;
// Probing a network more often than this helps nobody and floods it.
constexpr double kShortestInterval = 0.1;

std::optional<double> parse_number(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<std::chrono::milliseconds> parse_seconds(std::string_view text, double lowest) {
  const std::optional<double> seconds = parse_number(text);
  if (!seconds || *seconds < lowest || *seconds > kLongestSeconds) return std::nullopt;
  return std::chrono::milliseconds(std::llround(*seconds * 1000.0));
}

std::optional<std::size_t> parse_count(std::string_view text) {
  std::size_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value == 0) return std::nullopt;
  return value;
}

bool is_ipv4_text(const std::string& text) {
  in_addr address{};
  return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

std::string quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

// Each option that takes a value: stores it, or returns the error sentence.
using ValueSetter = std::function<std::string(Options&, std::string_view)>;

const std::map<std::string_view, ValueSetter>& value_options() {
  static const std::map<std::string_view, ValueSetter> setters = {
      {"--timeout",
       [](Options& o, std::string_view v) -> std::string {
         const auto value = parse_seconds(v, 0.0);
         if (!value) return "bad --timeout " + quoted(v) + ": give seconds, 0 or more, e.g. 2 or 0.5";
         o.timeout = *value;
         o.timeout_given = true;
         return {};
       }},
      {"--interval",
       [](Options& o, std::string_view v) -> std::string {
         const auto value = parse_seconds(v, kShortestInterval);
         if (!value) return "bad --interval " + quoted(v) + ": give seconds, 0.1 or more, e.g. 5";
         o.interval = *value;
         return {};
       }},
      {"--interface",
       [](Options& o, std::string_view v) -> std::string {
         const std::string address(v);
         if (!is_ipv4_text(address)) {
           return "bad --interface " + quoted(v) + ": give the interface's IPv4 address, e.g. 192.168.1.20";
         }
         if (std::find(o.interfaces.begin(), o.interfaces.end(), address) == o.interfaces.end()) {
           o.interfaces.push_back(address);
         }
         return {};
       }},
      {"--expect",
       [](Options& o, std::string_view v) -> std::string {
         const auto value = parse_count(v);
         if (!value) return "bad --expect " + quoted(v) + ": give a number of devices, 1 or more";
         o.expect = *value;
         return {};
       }},
  };
  return setters;
}

bool set_flag(Options& o, std::string_view arg) {
  if (arg == "-h" || arg == "--help") return o.help = true;
  if (arg == "--version") return o.version = true;
  if (arg == "--json") return o.json = true;
  if (arg == "--csv") return o.csv = true;
  if (arg == "--watch") return o.watch = true;
  if (arg == "-v" || arg == "--verbose") return o.verbose = true;
  return false;
}

}  // namespace

ParseResult parse_options(const std::vector<std::string_view>& args) {
  ParseResult result;
  for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
    std::string_view arg = args[i];
    if (set_flag(result.options, arg)) continue;
    // "--name=value" and "--name value" alike.
    std::optional<std::string_view> value;
    if (const auto equals = arg.find('='); arg.starts_with("--") && equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    const auto setter = value_options().find(arg);
    if (setter == value_options().end()) {
      result.error = (arg.starts_with("-") ? "unknown option " : "unexpected argument ") + quoted(args[i]);
    } else if (!value && i + 1 >= args.size()) {
      result.error = "option " + quoted(arg) + " needs a value";
    } else {
      result.error = setter->second(result.options, value ? *value : args[++i]);
    }
  }
  if (result.error.empty() && result.options.json && result.options.csv) {
    result.error = "--json and --csv cannot be used together";
  }
  return result;
}

}  // namespace discover
