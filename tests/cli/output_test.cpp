// What reaches standard output for a device: the line as the window shows it, one JSON object, or one
// CSV record.
#include "output.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "vantrel/device_export.h"

namespace {

using discover::text_record;
using namespace std::string_literals;

protocol::DeviceInfo device(std::string model, std::string serial, std::optional<bool> boot) {
  return {std::move(model), std::move(serial), boot};
}

// vantrel-discover's JSON record of a device at `address`, on no known interface and without problems.
std::string json_record(const std::string& address, const protocol::DeviceInfo& info, bool gone) {
  DeviceRecord record;
  record.host = address;
  record.device = info;
  record.line = protocol::device_line(address, info);
  return json_object(record, gone);
}

TEST(Output, JsonMembersInOrderWithBootState) {
  struct Case {
    std::optional<bool> boot;
    bool gone;
    std::string json;
  };
  const Case cases[] = {
      {true, false,
       R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":true,"interface":null,)"
       R"("problems":[]})"},
      {false, false,
       R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":false,"interface":null,)"
       R"("problems":[]})"},
      {std::nullopt, false,
       R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":null,"interface":null,)"
       R"("problems":[]})"},
      {true, true,
       R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":true,"interface":null,)"
       R"("problems":[],"gone":true})"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(json_record("10.77.0.10", device("VX", "S1", c.boot), c.gone), c.json);
}

TEST(Output, JsonKeepsTextExactlyAndStaysOneLine) {
  const std::string model = "Tab\there \"quoted\" \\ \xC3\xA9\n\x1b[31m";
  const std::string record = json_record("10.0.0.1", device(model, "S", std::nullopt), false);
  EXPECT_EQ(record.find('\n'), std::string::npos);
  EXPECT_EQ(record.find('\x1b'), std::string::npos) << "control bytes must be escaped";
  EXPECT_EQ(nlohmann::json::parse(record)["model"], model);
}

TEST(Output, JsonReplacesInvalidUtf8InsteadOfFailing) {
  const std::string record = json_record("10.0.0.1", device("bad\xFF\xFEmodel", "S\xC3", true), false);
  const nlohmann::json parsed = nlohmann::json::parse(record);
  EXPECT_EQ(parsed["model"], "bad\xEF\xBF\xBD\xEF\xBF\xBDmodel");
  EXPECT_EQ(parsed["serial_number"], "S\xEF\xBF\xBD");
}

TEST(Output, TextEscapesControlBytesOnlyForATerminal) {
  const std::string line = "10.0.0.1, Model: \x1b]0;owned\x07, Serial Number: S";
  EXPECT_EQ(text_record(line, false), line);
  EXPECT_EQ(text_record(line, true), "10.0.0.1, Model: \\x1B]0;owned\\x07, Serial Number: S");
}

TEST(Output, PrinterWritesOneLinePerRecordGoneOnlyInJsonAndACsvHeaderOnce) {
  const protocol::DeviceInfo info = device("VX", "S1", false);
  struct Case {
    discover::Format format;
    int devices;
    std::string written;
  };
  const std::string line = "10.0.0.1, Model: VX, Serial Number: S1, Boot State:  OFF";
  const Case cases[] = {
      {discover::Format::text, 1, line + "\n"},
      {discover::Format::json, 1,
       json_record("10.0.0.1", info, false) + "\n" + json_record("10.0.0.1", info, true) + "\n"},
      {discover::Format::csv, 2,
       "address,model,serial_number,boot_state,interface,problems\r\n10.0.0.1,VX,S1,false,,\r\n"
       "10.0.0.1,VX,S1,false,,\r\n"},
      {discover::Format::csv, 0, "address,model,serial_number,boot_state,interface,problems\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format));
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    discover::Printer printer(out, c.format, false);
    DeviceRecord record;
    record.host = "10.0.0.1";
    record.device = info;
    record.line = line;
    for (int i = 0; i < c.devices; ++i) printer.appeared(record);
    printer.gone(record);
    printer.finish();
    std::rewind(out);
    std::string written(4096, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), out));
    std::fclose(out);
    EXPECT_EQ(written, c.written);
  }
}

}  // namespace
