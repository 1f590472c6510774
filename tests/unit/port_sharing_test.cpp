// The words for other programs on the discovery port.
#include "vantrel/port_sharing.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

struct Case {
  const char* what;
  std::vector<platform::PortUser> others;
  std::string owners;  // what the parentheses hold; "-" for no parentheses; "" for no warning at all
};

class PortSharingWarning : public testing::TestWithParam<Case> {};

TEST_P(PortSharingWarning, NamesEachOtherProgramOnce) {
  const Case& c = GetParam();
  const std::string warning = port_sharing_warning(c.others, "this window");
  if (c.owners.empty()) {
    EXPECT_EQ(warning, "");
    return;
  }
  const std::string owners = c.owners == "-" ? "" : " (" + c.owners + ")";
  EXPECT_EQ(warning, "Another program is using UDP port 5556" + owners +
                         "; devices' answers may reach it instead of this window.");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortSharingWarning,
    testing::Values(Case{"nobody", {}, ""},
                    Case{"named", {{1234, "vantrel-discover"}}, "vantrel-discover, process 1234"},
                    Case{"only the process known", {{99, ""}}, "process 99"},
                    Case{"nothing known (another user's program)", {{0, ""}}, "-"},
                    Case{"two sockets of one program", {{7, "sim"}, {7, "sim"}}, "sim, process 7"},
                    Case{"two programs",
                         {{7, "sim"}, {8, "vantrel-discovery"}},
                         "sim, process 7; vantrel-discovery, process 8"}),
    [](const testing::TestParamInfo<Case>& param) {
      std::string name;
      for (const char* c = param.param.what; *c != '\0'; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

}  // namespace
