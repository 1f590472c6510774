// The device table's pure parts: subnets, the problems flagged as devices arrive, the views' filter and
// order, and the saved formats.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "vantrel/device_export.h"
#include "vantrel/device_view.h"

namespace {

std::uint32_t ip(const char* text) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  std::sscanf(text, "%u.%u.%u.%u", &a, &b, &c, &d);
  return (a << 24) | (b << 16) | (c << 8) | d;
}

platform::Adapter adapter(unsigned index, const char* name,
                          std::vector<std::pair<const char*, unsigned>> addrs) {
  platform::Adapter made{name, addrs.empty() ? "0.0.0.0" : addrs.front().first, index, name, {}};
  for (const auto& [address, length] : addrs) made.addresses.push_back({ip(address), length});
  return made;
}

DeviceRecord device(const std::string& host, const std::string& serial, const std::string& model = "VX",
                    std::optional<bool> boot = std::nullopt) {
  DeviceRecord record;
  record.host = host;
  record.address = ip(host.c_str());
  record.device = {model, serial, boot};
  record.line = protocol::device_line(host, record.device);
  return record;
}

TEST(Subnets, MembershipOfEveryAddressOfEveryInterface) {
  const HostInterfaces host({adapter(2, "eth0", {{"10.77.0.1", 24}, {"172.16.5.1", 16}}),
                             adapter(3, "p2p", {{"192.0.2.8", 31}}),
                             adapter(4, "tun", {{"198.51.100.7", 32}})});
  struct Case {
    const char* address;
    bool reached;
  };
  const Case cases[] = {
      {"10.77.0.99", true},   {"10.77.1.1", false},    {"172.16.200.3", true},  // the second address's /16
      {"192.0.2.9", true},    {"192.0.2.10", false},                            // a /31 holds two
      {"198.51.100.7", true}, {"198.51.100.8", false},                          // a /32 holds one
      {"10.77.0.1", true},                                                      // the host's own address
      {"0.0.0.0", false},     {"192.168.1.50", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(host.reaches(ip(c.address)), c.reached);
  }
  EXPECT_TRUE(in_subnet(ip("8.8.8.8"), {ip("0.0.0.0"), 0}));
  ASSERT_NE(host.find(3), nullptr);
  EXPECT_EQ(host.find(3)->label, "p2p");
  EXPECT_EQ(host.find(9), nullptr);
  EXPECT_EQ(host.find(0), nullptr);
}

TEST(Problems, FlaggedAsDevicesArriveOnEveryDeviceConcerned) {
  struct Arrival {
    DeviceRecord record;
    unsigned interface;
  };
  DeviceTable table;
  table.set_interfaces(HostInterfaces({adapter(2, "eth0", {{"10.77.0.1", 24}})}));
  const Arrival arrivals[] = {
      {device("10.77.0.10", "A"), 2},
      {device("10.77.0.11", "B"), 2},
      {device("10.77.0.10", "C"), 2},              // a second device on A's address
      {device("10.77.0.12", "B"), 2},              // B on a second address
      {device("192.168.1.50", "D"), 2},            // left at an address outside the subnet
      {device("10.77.0.13", "E", "VX", true), 2},  // E answers twice, with two boot states: one device
      {device("10.77.0.13", "E", "VX", false), 2},
  };
  std::vector<std::size_t> reflagged;
  for (const Arrival& arrival : arrivals) table.add(arrival.record, arrival.interface, &reflagged);
  const std::uint8_t wanted[] = {problem::address_conflict,
                                 problem::serial_at_several_addresses,
                                 problem::address_conflict,
                                 problem::serial_at_several_addresses,
                                 problem::outside_subnets,
                                 0,
                                 0};
  ASSERT_EQ(table.size(), std::size(wanted));
  for (std::size_t row = 0; row < table.size(); ++row) {
    SCOPED_TRACE(table[row].line);
    EXPECT_EQ(table[row].problems, wanted[row]);
  }
  EXPECT_EQ(reflagged, (std::vector<std::size_t>{0, 1}));  // the earlier one of each pair, when it began
  EXPECT_EQ(table.flagged(), 5u);
  EXPECT_EQ(table[4].interface_label, "eth0");
  EXPECT_EQ(
      problem_words(table[4].problems, interface_text(table[4])),
      "Outside this computer's subnets: it answered on eth0 (10.77.0.1) but can be reached only after it is "
      "re-addressed.");
  EXPECT_EQ(table.add(device("10.77.0.10", "A"), 2), DeviceTable::AddResult::duplicate);
  table.clear();
  EXPECT_EQ(table.flagged(), 0u);
  EXPECT_EQ(table.add(device("10.77.0.10", "C"), 2), DeviceTable::AddResult::added);
  EXPECT_EQ(table[0].problems, 0) << "Refresh starts the judging over";
}

TEST(Views, FilterIgnoresAsciiCaseAndSortsKeepArrivalForTies) {
  DeviceTable table;
  for (const DeviceRecord& record :
       {device("10.0.0.10", "s-2", "beta"), device("10.0.0.9", "S-10", "Alpha"),
        device("10.0.0.100", "s-1", "alpha"), device("9.255.255.255", "x", "Gamma")}) {
    table.add(record, 0);
  }
  struct Case {
    const char* needle;
    SortKey key;
    std::vector<std::size_t> rows;
  };
  const Case cases[] = {
      {"", SortKey::arrival, {0, 1, 2, 3}},
      {"", SortKey::address, {3, 1, 0, 2}},  // numeric: 10.0.0.9 before 10.0.0.10
      {"", SortKey::model, {1, 2, 0, 3}},    // Alpha and alpha tie: arrival order
      {"", SortKey::serial_number, {2, 1, 0, 3}},
      {"ALPHA", SortKey::arrival, {1, 2}},
      {"serial number: s-", SortKey::address, {1, 0, 2}},
      {"nothing", SortKey::arrival, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.needle) + " / " + std::to_string(static_cast<int>(c.key)));
    EXPECT_EQ(view_rows(table, c.needle, c.key), c.rows);
  }
  EXPECT_TRUE(line_matches("Caf\xC3\xA9", "caf\xC3\xA9"));
  EXPECT_FALSE(line_matches("Caf\xC3\xA9", "CAF\xC3\x89")) << "beyond ASCII, bytes match exactly";
}

TEST(Export, CsvCellsQuotedAndDefusedAsRfc4180AndOwaspSay) {
  struct Case {
    std::string text;
    std::string cell;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"caf\xC3\xA9 \xE6\x97\xA5", "caf\xC3\xA9 \xE6\x97\xA5"},
      {"bell\x07", "bell\x07"},
      {"=SUM(A1)", "'=SUM(A1)"},
      {"+1", "'+1"},
      {"-2", "'-2"},
      {"@cmd", "'@cmd"},
      {"\tx", "'\tx"},
      {"\rx", "\"'\rx\""},
      {"=a,b", "\"'=a,b\""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(csv_cell(c.text), c.cell);
  }
}

TEST(Export, EachFormatWholeFromTheRowsGiven) {
  DeviceTable table;
  table.set_interfaces(HostInterfaces({adapter(2, "eth0", {{"10.77.0.1", 24}})}));
  table.add(device("10.77.0.10", "A,1", "VX \"1\"", true), 2);
  table.add(device("192.168.1.50", "=B", "VX", std::nullopt), 7);  // an interface gone since
  EXPECT_EQ(
      export_rows(table, {1, 0}, ExportFormat::text),
      "192.168.1.50, Model: VX, Serial Number: =B\n10.77.0.10, Model: VX \"1\", Serial Number: A,1, Boot "
      "State:  ON\n");
  EXPECT_EQ(export_rows(table, {0, 1}, ExportFormat::csv),
            "address,model,serial_number,boot_state,interface,problems\r\n"
            "10.77.0.10,\"VX \"\"1\"\"\",\"A,1\",true,eth0 (10.77.0.1),\r\n"
            "192.168.1.50,VX,'=B,,,outside_subnets\r\n");
  const nlohmann::json saved = nlohmann::json::parse(export_rows(table, {0, 1}, ExportFormat::json));
  EXPECT_EQ(saved, nlohmann::json::parse(R"([
    {"address":"10.77.0.10","model":"VX \"1\"","serial_number":"A,1","boot_state":true,
     "interface":{"name":"eth0","address":"10.77.0.1"},"problems":[]},
    {"address":"192.168.1.50","model":"VX","serial_number":"=B","boot_state":null,
     "interface":null,"problems":["outside_subnets"]}])"));
  EXPECT_EQ(export_rows(table, {}, ExportFormat::json), "[]\n");
  EXPECT_EQ(json_object(device("10.0.0.1", "bad \xFF")).find("\xFF"), std::string::npos);
  struct Name {
    const char* file;
    ExportFormat format;
  };
  for (const Name& name : {Name{"list.csv", ExportFormat::csv}, Name{"LIST.JSON", ExportFormat::json},
                           Name{"list.txt", ExportFormat::text}, Name{"list", ExportFormat::text}}) {
    EXPECT_EQ(format_for(name.file), name.format) << name.file;
  }
}

}  // namespace
