#include "usage.h"

namespace discover {

const char* usage_text() {
  return "Usage: vantrel-discover [OPTION]...\n"
         "Find Vantrel devices on the local networks: join multicast group 224.0.0.120 (UDP port 5556)\n"
         "on every IPv4 interface, probe through each, and print every device that answers, one line\n"
         "per device, as it answers.\n"
         "\n"
         "  --timeout SECONDS   listen this long after the probe (default 2; fractions allowed);\n"
         "                      with --watch, end the run after this long\n"
         "  --json              print one JSON object per line: address, model, serial_number,\n"
         "                      boot_state (true, false or null), interface ({name, address} of the\n"
         "                      local interface it answered on, or null) and problems (a list of\n"
         "                      outside_subnets, address_conflict, serial_at_several_addresses)\n"
         "  --csv               print CSV (RFC 4180): a header, then one record per device with the\n"
         "                      same fields\n"
         "  --watch             keep probing and print devices as they appear; with --json, also\n"
         "                      print {..., \"gone\": true} for a device that missed two probes\n"
         "  --interval SECONDS  with --watch, probe this often (default 5, at least 0.1)\n"
         "  --interface ADDR    join and probe only through the interface with this IPv4 address;\n"
         "                      repeat for more interfaces\n"
         "  --expect N          stop as soon as N devices have answered\n"
         "  -v, --verbose       print the socket steps and a log line per new device on stderr\n"
         "  -h, --help          print this help and exit\n"
         "      --version       print the version and exit\n"
         "\n"
         "Standard output carries device lines (or JSON objects) only; messages go to standard error.\n"
         "\n"
         "Exit status:\n"
         "  0  at least one device answered\n"
         "  1  no device answered\n"
         "  2  discovery could not start or go on (bad option, no IPv4 interface, port in use, ...)\n";
}

const char* version_text() {
  return "vantrel-discover " VANTREL_VERSION "\n";
}

}  // namespace discover
