// Captures the core's diagnostic streams for one test and gives them back as text.
#pragma once

#include <cstdio>
#include <string>

class DiagCapture {
 public:
  DiagCapture();
  ~DiagCapture();
  DiagCapture(const DiagCapture&) = delete;
  DiagCapture& operator=(const DiagCapture&) = delete;

  std::string out() const { return read(out_); }
  std::string err() const { return read(err_); }

 private:
  static std::string read(std::FILE* file);
  std::FILE* out_;
  std::FILE* err_;
};
