// How a device reaches standard output: its device line, one JSON object per line, or one CSV record.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "vantrel/device_table.h"

namespace discover {

enum class Format { text, json, csv };

// The device line, with control bytes escaped when it goes to a terminal; no newline.
std::string text_record(std::string_view line, bool escape);

bool is_terminal(std::FILE* file);

class Printer {
 public:
  // `escape`: `out` is a terminal, so a device must not be able to steer it.
  Printer(std::FILE* out, Format format, bool escape) : out_(out), format_(format), escape_(escape) {}

  void appeared(const DeviceRecord& device);
  // JSON only: the other formats have no way to say a device left.
  void gone(const DeviceRecord& device);
  // Hands what was printed to the reader; called after every batch.
  void flush();
  // The end of a run that listened: a CSV without devices still gets its header.
  void finish();

 private:
  void write_line(const std::string& record);

  std::FILE* out_;
  Format format_;
  bool escape_;
  bool header_written_ = false;
};

}  // namespace discover
