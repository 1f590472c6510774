// What --help and --version print.
#pragma once

namespace discover {

const char* usage_text();
const char* version_text();

}  // namespace discover
