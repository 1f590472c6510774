// Reply decoding: which datagrams become which device lines.
#include "vantrel/protocol.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

using namespace std::string_literals;

constexpr const char* kHost = "192.168.1.20";

struct DecodeCase {
  const char* name;
  std::string datagram;
  std::optional<std::string> line;  // nullopt: no line
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
  *os << c.name;
}

std::string reply(const std::string& json) {
  return "\x01"s + json;
}

std::string long_reply_without_zero() {
  // 2048 bytes: marker, then a JSON object padded with blanks up to the end, no zero byte.
  std::string json = R"({"model":"X","serial_number":"LONG"})";
  json.append(2047 - json.size(), ' ');
  return reply(json);
}

const DecodeCase kCases[] = {
    {"BootStateTrue", reply(R"({"model":"X-100","serial_number":"A1B2C3","boot_state":true})"),
     "192.168.1.20, Model: X-100, Serial Number: A1B2C3, Boot State:  ON"},
    {"BootStateFalse", reply(R"({"model":"X-100","serial_number":"A1B2C3","boot_state":false})"),
     "192.168.1.20, Model: X-100, Serial Number: A1B2C3, Boot State:  OFF"},
    {"BootStateAbsent", reply(R"({"model":"X-100","serial_number":"A1B2C3"})"),
     "192.168.1.20, Model: X-100, Serial Number: A1B2C3"},
    {"Probe", "\x00"s, std::nullopt},
    {"EmptyDatagram", ""s, std::nullopt},
    {"OtherFirstByte", "\x02"s + R"({"model":"X","serial_number":"S"})", std::nullopt},
    {"JsonWithoutMarker", R"({"model":"X","serial_number":"S"})", std::nullopt},
    {"MarkerOnly", "\x01"s, std::nullopt},
    {"ModelMissing", reply(R"({"serial_number":"S"})"), std::nullopt},
    {"ModelEmpty", reply(R"({"model":"","serial_number":"S"})"), std::nullopt},
    {"SerialMissing", reply(R"({"model":"X"})"), std::nullopt},
    {"SerialEmpty", reply(R"({"model":"X","serial_number":""})"), std::nullopt},
    {"BlanksOnlyModelKept", reply(R"({"model":"   ","serial_number":"S"})"),
     "192.168.1.20, Model:    , Serial Number: S"},
    {"KeysAreCaseSensitive", reply(R"({"Model":"X","MODEL":"Y","serial_number":"S"})"), std::nullopt},
    {"LastDuplicateKeyWins", reply(R"({"model":"first","serial_number":"S","model":"second"})"),
     "192.168.1.20, Model: second, Serial Number: S"},
    {"ExtraMembersAnyOrder",
     reply(R"({"x":[1,{"y":null}],"serial_number":"S","z":{"a":1},"model":"X","n":3.5})"),
     "192.168.1.20, Model: X, Serial Number: S"},
    {"EscapesResolvedUtf8Kept", reply(R"({"model":"A\"B\u00e9","serial_number":"\u65e5"})"),
     "192.168.1.20, Model: A\"B\xC3\xA9, Serial Number: \xE6\x97\xA5"},
    {"ZeroByteEndsText", reply(R"({"model":"X","serial_number":"S"})"s + "\x00garbage{"s),
     "192.168.1.20, Model: X, Serial Number: S"},
    {"ZeroByteInsideCutsJson", reply(R"({"model":"X",)"s + "\x00"s + R"("serial_number":"S"})"),
     std::nullopt},
    {"LongReplyWithoutZeroByte", long_reply_without_zero(), "192.168.1.20, Model: X, Serial Number: LONG"},
    {"MalformedJson", reply(R"({"model":"X","serial_number":)"), std::nullopt},
    {"TrailingGarbage", reply(R"({"model":"X","serial_number":"S"} x)"), std::nullopt},
    {"TrailingWhitespaceAccepted",
     reply(R"({"model":"X","serial_number":"S"}  )"
           "\n"),
     "192.168.1.20, Model: X, Serial Number: S"},
    {"CommentsRejected", reply(R"({"model":"X",/*c*/"serial_number":"S"})"), std::nullopt},
    {"TopLevelArray", reply(R"([{"model":"X","serial_number":"S"}])"), std::nullopt},
    {"TopLevelString", reply(R"("model")"), std::nullopt},
    {"ModelNotString", reply(R"({"model":5,"serial_number":"S"})"), std::nullopt},
    {"SerialNotString", reply(R"({"model":"X","serial_number":null})"), std::nullopt},
    {"BootStateNotBool", reply(R"({"model":"X","serial_number":"S","boot_state":"true"})"), std::nullopt},
    {"BootStateNumber", reply(R"({"model":"X","serial_number":"S","boot_state":1})"), std::nullopt},
    {"InvalidUtf8Rejected", reply("{\"model\":\"\xFF\",\"serial_number\":\"S\"}"), std::nullopt},
};

class DecodeReply : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeReply, GivesExpectedLine) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(protocol::decode_reply(c.datagram.data(), c.datagram.size(), kHost), c.line);
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeReply, testing::ValuesIn(kCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(DecodeReplyBounds, ReadsOnlyTheBytesGiven) {
  // A short reply decoded from the front of a buffer that still holds a longer, earlier reply.
  std::string buffer = reply(R"({"model":"LONGER-MODEL","serial_number":"OLD","boot_state":true})");
  const std::string fresh = reply(R"({"model":"M","serial_number":"S"})");
  buffer.replace(0, fresh.size(), fresh);
  EXPECT_EQ(protocol::decode_reply(buffer.data(), fresh.size(), kHost),
            "192.168.1.20, Model: M, Serial Number: S");
  // A datagram cut just before its closing brace must not borrow the brace that follows in memory.
  EXPECT_EQ(protocol::decode_reply(fresh.data(), fresh.size() - 1, kHost), std::nullopt);
}

TEST(DecodeReplyBounds, JsonTextOfLongReplyIsEverythingAfterMarker) {
  const std::string datagram = long_reply_without_zero();
  ASSERT_EQ(datagram.size(), 2048u);
  EXPECT_EQ(protocol::reply_json_text(datagram.data(), datagram.size()).size(), 2047u);
}

TEST(DeviceLine, BuiltFromPiecesWithEmptyHost) {
  const protocol::DeviceInfo device{"M", "S", false};
  EXPECT_EQ(protocol::device_line("", device), ", Model: M, Serial Number: S, Boot State:  OFF");
}

}  // namespace
