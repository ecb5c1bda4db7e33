#include "options.h"

#include <unistd.h>

#include <ctime>

#include "parse.h"

namespace slave_sim {

const char kUsage[] =
    "Usage: zt-modbus-slave-sim [OPTIONS]\n"
    "Stands in for Modbus RTU slaves (functions 03 and 06) on a pseudo-terminal, or behind\n"
    "a TCP port as a serial device server would offer the line.\n"
    "\n"
    "  --link PATH      make PATH a symbolic link to the line's port end\n"
    "  --tcp PORT       listen on 127.0.0.1:PORT instead (0: a free port), one master at a\n"
    "                   time; the master opens tcp://127.0.0.1:PORT\n"
    "  --slaves SET     addresses served, e.g. 1-10 or 1,3,5 (default 1-10)\n"
    "  --baud N         answer when a real line at N baud could have (10 bits a byte,\n"
    "                   request + answer + 3.5 characters, at least 1.75 ms above 19200);\n"
    "                   default: at once\n"
    "  --fixed          registers do not move: register r of slave a holds 100*(a-1)+r+1\n"
    "  --log FILE       event log, one line per event, microseconds of CLOCK_MONOTONIC first\n"
    "                   (\"-\": standard error)\n"
    "  --control PATH   also take commands from this FIFO (made if missing)\n"
    "  --fault CMD      run control command CMD at start; repeatable (--fault \"silent 3\")\n"
    "  --seed N         seed of the random bytes of garbage and floods\n"
    "  --help           this text\n"
    "\n"
    "Prints \"ready LINK -> PTY\" (\"ready tcp://127.0.0.1:PORT\") when the line is open, then "
    "answers control commands read\n"
    "from standard input (and the FIFO) with \"ok\" or \"error ...\". Live registers: 0 counts\n"
    "the slave's answers, 1 the seconds since start (0..999), 2 is 100*address + the second of\n"
    "the minute, r>=3 holds r. Written or pinned registers keep their value.\n"
    "\n";

namespace {

std::string Value(int argc, char** argv, int& i) {
  if (i + 1 >= argc) throw UsageError(std::string(argv[i]) + " needs a value");
  return argv[++i];
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
  Options options;
  options.simulator.slaves = *ParseAddresses("1-10");
  options.simulator.seed = static_cast<uint32_t>(time(nullptr) ^ getpid());
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--fixed") {
      options.simulator.fixed = true;
    } else if (option == "--link") {
      options.link = Value(argc, argv, i);
      if (options.link.empty()) throw UsageError("--link needs a path");
    } else if (option == "--tcp") {
      const std::string text = Value(argc, argv, i);
      const auto port = ParseInt(text, 0, 65535);
      if (!port) throw UsageError("--tcp: not a port from 0 to 65535: " + text);
      options.tcp = static_cast<int>(*port);
    } else if (option == "--log") {
      options.log = Value(argc, argv, i);
    } else if (option == "--control") {
      options.control = Value(argc, argv, i);
    } else if (option == "--fault") {
      options.commands.push_back(Value(argc, argv, i));
    } else if (option == "--slaves") {
      const std::string text = Value(argc, argv, i);
      const auto slaves = ParseAddresses(text);
      if (!slaves) throw UsageError("--slaves: not a set of addresses 1..247: " + text);
      options.simulator.slaves = *slaves;
    } else if (option == "--baud") {
      const std::string text = Value(argc, argv, i);
      const auto baud = ParseInt(text, 50, 4'000'000);
      if (!baud) throw UsageError("--baud: not a rate from 50 to 4000000: " + text);
      options.simulator.baud = *baud;
    } else if (option == "--seed") {
      const std::string text = Value(argc, argv, i);
      const auto seed = ParseInt(text, 0, 4'294'967'295);
      if (!seed) throw UsageError("--seed: not a number: " + text);
      options.simulator.seed = static_cast<uint32_t>(*seed);
    } else {
      throw UsageError("unknown option: " + option);
    }
  }
  if (options.tcp >= 0 && !options.link.empty())
    throw UsageError("--link and --tcp: the line is a pseudo-terminal or a TCP port, not both");
  return options;
}

}  // namespace slave_sim
