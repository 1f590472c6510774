#include "output.h"

#include "platform.h"
#include "vantrel/device_export.h"
#include "vantrel/read_line.h"

namespace discover {

std::string text_record(std::string_view line, bool escape) {
  return escape ? escape_control_bytes(line) : std::string(line);
}

bool is_terminal(std::FILE* file) {
  return platform::is_terminal(file);
}

void Printer::appeared(const DeviceRecord& device) {
  switch (format_) {
    case Format::text:
      write_line(text_record(device.line, escape_));
      break;
    case Format::json:
      write_line(json_object(device));
      break;
    case Format::csv: {
      finish();
      std::string record = csv_row(device);
      record.resize(record.size() - 2);  // write_line ends it
      // A quoted newline is data to a CSV reader, but a terminal shows it as one.
      write_line(text_record(record, escape_) + "\r");
      break;
    }
  }
}

void Printer::gone(const DeviceRecord& device) {
  if (format_ == Format::json) write_line(json_object(device, true));
}

void Printer::finish() {
  if (format_ != Format::csv || header_written_) return;
  const std::string header = csv_header();
  std::fwrite(header.data(), 1, header.size(), out_);
  header_written_ = true;
}

void Printer::write_line(const std::string& record) {
  std::fwrite(record.data(), 1, record.size(), out_);
  std::fputc('\n', out_);
}

void Printer::flush() {
  // A reader of a pipe sees each device the moment its batch arrives, not when a buffer fills.
  std::fflush(out_);
}

}  // namespace discover
