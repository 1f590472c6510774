#include "diag_capture.h"

#include "vantrel/diagnostics.h"

DiagCapture::DiagCapture() : out_(std::tmpfile()), err_(std::tmpfile()) {
  diag::set_streams(out_, err_);
}

DiagCapture::~DiagCapture() {
  diag::set_streams(stdout, stderr);
  if (out_ != nullptr) std::fclose(out_);
  if (err_ != nullptr) std::fclose(err_);
}

std::string DiagCapture::read(std::FILE* file) {
  std::string text;
  if (file == nullptr) return text;
  std::fflush(file);
  std::rewind(file);
  char chunk[512];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fseek(file, 0, SEEK_END);
  return text;
}
