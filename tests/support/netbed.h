// A bed of network namespaces for one test, built by scripts/netbed.sh and removed when the bed goes out
// of scope. Nothing of it touches the machine's own namespace.
//
//   hub namespace: one bridge per segment
//   tool namespace: eth<k> at 10.77.<k>.1 on segment k
//   device namespaces: added with add_device, addresses 10.77.<seg>.10 and up
#pragma once

#include <string>
#include <vector>

namespace testbed {

// Empty when beds can be built here; otherwise why not (for GTEST_SKIP).
std::string unavailable_reason();

// Runs `command` through the shell; its exit code.
int run_shell(const std::string& command);

// Runs `command` through the shell; what it wrote on standard output.
std::string shell_output(const std::string& command);

// A UDP socket bound to 0.0.0.0:`port` without address reuse, in this thread's namespace, as a program
// that does not share the port holds it. Its descriptor, or -1.
int hold_port_without_sharing(unsigned short port);

class NetBed {
 public:
  // `options`: extra flags for `netbed.sh up` (--tool-extra-down, --tool-extra-noaddr).
  explicit NetBed(int segments, const std::string& options = "");
  ~NetBed();
  NetBed(const NetBed&) = delete;
  NetBed& operator=(const NetBed&) = delete;

  bool ok() const { return ok_; }
  const std::string& prefix() const { return prefix_; }
  std::string ns(const std::string& role) const { return prefix_ + "-" + role; }

  // A device namespace `name` on the given segments ("0" or "0,1"); its addresses, in interface order.
  std::vector<std::string> add_device(const std::string& name, const std::string& segments);

  // argv that runs `argv` inside namespace `role`.
  std::vector<std::string> in(const std::string& role, std::vector<std::string> argv) const;

 private:
  std::string prefix_;
  bool ok_ = false;
};

// Moves the calling thread into a namespace for the guard's life; threads it starts meanwhile are born
// there too. Back to the original namespace on destruction.
class InsideNamespace {
 public:
  explicit InsideNamespace(const std::string& ns);
  ~InsideNamespace();
  InsideNamespace(const InsideNamespace&) = delete;
  InsideNamespace& operator=(const InsideNamespace&) = delete;
  bool ok() const { return ok_; }

 private:
  int original_ = -1;
  bool ok_ = false;
};

// Sends `datagrams` from namespace `ns` to `address` (IPv4 text) port 5556, in order, from one socket.
void send_datagrams(const std::string& ns, const std::string& address,
                    const std::vector<std::string>& datagrams);

std::string bin(const std::string& program);  // path of a program in build/bin

}  // namespace testbed
