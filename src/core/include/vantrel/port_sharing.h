// Another program on the discovery port, in words for the user. Devices answer the probe's source port
// (5556), and the system hands each such answer to one of the sockets bound there: a second copy of the
// tool, or anything else on the port, may take answers meant for this one.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

// "Another program is using UDP port 5556 (<program>, process <n>; ...); devices' answers may reach it
// instead of <us>." Empty when `others` is.
std::string port_sharing_warning(const std::vector<platform::PortUser>& others, const std::string& us);

// The other programs' sockets on the discovery port as the system lists them now; empty when there are
// none or the system cannot say.
std::vector<platform::PortUser> discovery_port_users();

// The warning for the discovery port as the system lists its users now; empty when nobody else holds
// it, or when the system cannot say.
std::string check_port_sharing(const std::string& us);
