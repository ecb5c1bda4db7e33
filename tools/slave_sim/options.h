// Command-line options.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "simulator.h"

namespace slave_sim {

struct Options {
  SimulatorSettings simulator;
  std::string link;
  int tcp = -1;  // the port to listen on; -1: a pseudo-terminal line
  std::string log;
  std::string control;
  std::vector<std::string> commands;  // run at start, in order
  bool help = false;
};

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

extern const char kUsage[];

// Throws UsageError with a message that names the offending option.
Options ParseOptions(int argc, char** argv);

}  // namespace slave_sim
