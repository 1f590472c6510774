// What reaches standard output for a device: the line as the window shows it, or one JSON object.
#include "output.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

using discover::json_record;
using discover::text_record;
using namespace std::string_literals;

protocol::DeviceInfo device(std::string model, std::string serial, std::optional<bool> boot) {
  return {std::move(model), std::move(serial), boot};
}

TEST(Output, JsonMembersInOrderWithBootState) {
  struct Case {
    std::optional<bool> boot;
    bool gone;
    std::string json;
  };
  const Case cases[] = {
      {true, false, R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":true})"},
      {false, false, R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":false})"},
      {std::nullopt, false,
       R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":null})"},
      {true, true,
       R"({"address":"10.77.0.10","model":"VX","serial_number":"S1","boot_state":true,"gone":true})"},
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

TEST(Output, PrinterWritesOneFlushedLinePerRecordAndGoneOnlyInJson) {
  for (const bool json : {false, true}) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    discover::Printer printer(out, json, false);
    const protocol::DeviceInfo info = device("VX", "S1", false);
    printer.appeared("10.0.0.1", info, "10.0.0.1, Model: VX, Serial Number: S1, Boot State:  OFF");
    printer.gone("10.0.0.1", info);
    std::rewind(out);
    std::string written(4096, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), out));
    std::fclose(out);
    if (json) {
      EXPECT_EQ(written,
                json_record("10.0.0.1", info, false) + "\n" + json_record("10.0.0.1", info, true) + "\n");
    } else {
      EXPECT_EQ(written, "10.0.0.1, Model: VX, Serial Number: S1, Boot State:  OFF\n");
    }
  }
}

}  // namespace
