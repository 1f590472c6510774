// How a device reaches standard output: its device line, or one JSON object per line.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "vantrel/protocol.h"

namespace discover {

// The device line, with control bytes escaped when it goes to a terminal; no newline.
std::string text_record(std::string_view line, bool escape);

// {"address":...,"model":...,"serial_number":...,"boot_state":true|false|null[,"gone":true]}; no newline.
// Invalid UTF-8 becomes U+FFFD instead of an error.
std::string json_record(std::string_view address, const protocol::DeviceInfo& device, bool gone);

bool is_terminal(std::FILE* file);

class Printer {
 public:
  // `escape`: `out` is a terminal, so a device must not be able to steer it.
  Printer(std::FILE* out, bool json, bool escape) : out_(out), json_(json), escape_(escape) {}

  void appeared(std::string_view address, const protocol::DeviceInfo& device, std::string_view line);
  // JSON only: the text format has no way to say a device left.
  void gone(std::string_view address, const protocol::DeviceInfo& device);
  // Hands what was printed to the reader; called after every batch.
  void flush();

 private:
  void write_line(const std::string& record);

  std::FILE* out_;
  bool json_;
  bool escape_;
};

}  // namespace discover
