#include "vantrel/file_save.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"

std::optional<std::string> save_file(const std::string& path, const std::string& contents) {
  const std::string beside = path + ".part";
  std::FILE* file = platform::open_for_writing(beside);
  if (file == nullptr) return std::string(std::strerror(errno));
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  const int write_error = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    const int error = written ? errno : write_error;
    platform::remove_file(beside);
    return std::string(std::strerror(error));
  }
  if (const int error = platform::replace_file(beside, path); error != 0) {
    platform::remove_file(beside);
    return platform::error_text(error);
  }
  return std::nullopt;
}
