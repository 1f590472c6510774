// Writes a whole file so that no half-written one is ever left: into a file beside it, then renamed over
// it in one step.
#pragma once

#include <optional>
#include <string>

// `path` in UTF-8. The reason in words when the file could not be written; the old file, if any, is
// then left as it was.
std::optional<std::string> save_file(const std::string& path, const std::string& contents);
