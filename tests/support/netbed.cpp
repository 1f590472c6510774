#include "netbed.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace testbed {
namespace {

const std::string kScript = std::string(VANTREL_SOURCE_DIR) + "/scripts/netbed.sh";

std::string capture_shell(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    status = -1;
    return out;
  }
  std::array<char, 512> chunk{};
  size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.append(chunk.data(), got);
  const int rc = ::pclose(pipe);
  status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

// vd<pid>x<n>: the pid lets `netbed.sh reap` remove beds of test processes that died.
std::string next_prefix() {
  static std::atomic<int> counter{0};
  return "vd" + std::to_string(::getpid()) + "x" + std::to_string(counter++);
}

}  // namespace

int run_shell(const std::string& command) {
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string shell_output(const std::string& command) {
  int status = 0;
  return capture_shell(command, status);
}

int hold_port_without_sharing(unsigned short port) {
  const int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  if (sock < 0 || ::bind(sock, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    if (sock >= 0) ::close(sock);
    return -1;
  }
  return sock;
}

std::string unavailable_reason() {
  if (::geteuid() != 0) return "needs root to build network namespaces";
  if (run_shell("command -v ip >/dev/null 2>&1") != 0) return "needs iproute2 (ip)";
  return {};
}

NetBed::NetBed(int segments, const std::string& options) : prefix_(next_prefix()) {
  run_shell(kScript + " reap >/dev/null 2>&1");
  ok_ = run_shell(kScript + " up " + prefix_ + " " + std::to_string(segments) + " " + options + " >&2") == 0;
}

NetBed::~NetBed() {
  run_shell(kScript + " down " + prefix_ + " >/dev/null 2>&1");
}

std::vector<std::string> NetBed::add_device(const std::string& name, const std::string& segments) {
  int status = 0;
  const std::string out = capture_shell(kScript + " device " + prefix_ + " " + name + " " + segments, status);
  std::vector<std::string> addresses;
  if (status != 0) return addresses;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) addresses.push_back(line);
  }
  return addresses;
}

std::vector<std::string> NetBed::in(const std::string& role, std::vector<std::string> argv) const {
  std::vector<std::string> full = {"ip", "netns", "exec", ns(role)};
  full.insert(full.end(), argv.begin(), argv.end());
  return full;
}

InsideNamespace::InsideNamespace(const std::string& ns) {
  original_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  const int target = ::open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
  ok_ = original_ >= 0 && target >= 0 && ::setns(target, CLONE_NEWNET) == 0;
  if (target >= 0) ::close(target);
}

InsideNamespace::~InsideNamespace() {
  if (original_ < 0) return;
  if (ok_) ::setns(original_, CLONE_NEWNET);
  ::close(original_);
}

void send_datagrams(const std::string& ns, const std::string& address,
                    const std::vector<std::string>& datagrams) {
  std::thread([&] {
    InsideNamespace inside(ns);
    if (!inside.ok()) return;
    const int sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5556);
    ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
    for (const std::string& datagram : datagrams) {
      ::sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    ::close(sock);
  }).join();
}

std::string bin(const std::string& program) {
  return std::string(VANTREL_BIN_DIR) + "/" + program;
}

}  // namespace testbed
