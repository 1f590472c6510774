// vantrel-discover: headless discovery for scripts, terminals and CI.
#include <cstdio>
#include <string_view>
#include <vector>

#include "options.h"
#include "output.h"
#include "session.h"
#include "startup.h"
#include "usage.h"
#include "vantrel/diagnostics.h"

int main(int argc, char** argv) {
  using namespace discover;
  const ParseResult parsed = parse_options(std::vector<std::string_view>(argv + 1, argv + argc));
  if (!parsed.error.empty()) {
    report(parsed.error + " (see vantrel-discover --help)");
    return kCannotRun;
  }
  const Options& options = parsed.options;
  if (options.help || options.version) {
    std::fputs(options.help ? usage_text() : version_text(), stdout);
    return 0;
  }
  // Standard output carries data only: the core's lines go to standard error, and only when asked for.
  std::FILE* diagnostics = options.verbose ? stderr : nullptr;
  diag::set_streams(diagnostics, diagnostics);
  const Format format = options.json ? Format::json : (options.csv ? Format::csv : Format::text);
  Printer printer(stdout, format, is_terminal(stdout));
  return run_discovery(options, printer);
}
