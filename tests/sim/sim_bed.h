// The shared simulator bed, plus the test-only probe client run in its tool namespace.
#pragma once

#include "probe_client.h"
#include "simulator_bed.h"

namespace simtest {

using testbed::describe;
using testbed::device_line;

class SimBed : public testbed::SimulatorBed {
 protected:
  ProbeResult probe(const ProbeRun& run) const { return simtest::probe(bed_->ns("tool"), run); }
};

}  // namespace simtest
