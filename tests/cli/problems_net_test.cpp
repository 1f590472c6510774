// Problems flagged by vantrel-discover, for real: a device left at another site's address on the tool's
// segment, while the tool's default route leaves by another interface; two devices on one address.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "discover_bed.h"

namespace {

using nlohmann::json;

class Problems : public clitest::DiscoverBed {
 protected:
  void SetUp() override {
    DiscoverBed::SetUp();
    if (stopped()) return;
    build(2);
    if (stopped()) return;
    add_problem_devices();
    ASSERT_FALSE(HasFailure());
  }

  // By serial number: each device's JSON object.
  static std::map<std::string, json> by_serial(const json& devices) {
    std::map<std::string, json> found;
    for (const json& device : devices) found[device["serial_number"]] = device;
    return found;
  }

  static void expect_flagged(const std::map<std::string, json>& devices) {
    ASSERT_EQ(devices.size(), 4u);
    const json eth0 = {{"name", "eth0"}, {"address", "10.77.0.1"}};
    for (const auto& [serial, device] : devices) {
      SCOPED_TRACE(serial);
      EXPECT_EQ(device["interface"], eth0) << "the interface it answered on, not the default route's";
    }
    EXPECT_EQ(devices.at("STRAY")["address"], "192.168.1.50");
    EXPECT_EQ(devices.at("STRAY")["problems"], json::array({"outside_subnets"}));
    EXPECT_EQ(devices.at("GOOD")["problems"], json::array());
    // Streamed output: the later of the pair carries the flag.
    const json a = devices.at("TWIN-A")["problems"];
    const json b = devices.at("TWIN-B")["problems"];
    EXPECT_EQ(a.size() + b.size(), 1u) << a << b;
    EXPECT_TRUE(a == json::array({"address_conflict"}) || b == json::array({"address_conflict"})) << a << b;
  }
};

TEST_F(Problems, JsonNamesTheInterfaceAndTheProblemsOfEachDevice) {
  const clitest::Outcome run = discover({"--json", "--timeout", "1.5"});
  EXPECT_EQ(run.code, 0) << run.err;
  json devices = json::array();
  for (const std::string& line : clitest::lines(run.out)) devices.push_back(json::parse(line));
  expect_flagged(by_serial(devices));
}

TEST_F(Problems, CsvReadsBackWithPythonsCsvModule) {
  const clitest::Outcome run = discover({"--csv", "--timeout", "1.5"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out.rfind("address,model,serial_number,boot_state,interface,problems\r\n", 0), 0u) << run.out;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("vantrel-problems-" + bed_->prefix() + ".csv");
  std::ofstream(file, std::ios::binary) << run.out;
  // The records as Python's csv module reads them, as JSON objects in the shape of --json's.
  const std::string read = testbed::shell_output(
      "python3 -c 'import csv, json, sys\n"
      "rows = list(csv.DictReader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")))\n"
      "for r in rows:\n"
      "    name, _, address = r[\"interface\"].partition(\" (\")\n"
      "    r[\"interface\"] = {\"name\": name, \"address\": address.rstrip(\")\")}\n"
      "    r[\"problems\"] = [p for p in r[\"problems\"].split(\";\") if p]\n"
      "print(json.dumps(rows))' " +
      file.string());
  std::filesystem::remove(file);
  const json devices = json::parse(read, nullptr, false);
  ASSERT_TRUE(devices.is_array()) << read;
  for (const json& device : devices) EXPECT_EQ(device["boot_state"], "");
  expect_flagged(by_serial(devices));
}

}  // namespace
