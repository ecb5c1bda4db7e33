#include "event_log.h"

#include <ctime>

namespace slave_sim {

int64_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1'000'000 + now.tv_nsec / 1000;
}

EventLog::~EventLog() {
  if (file_ && file_ != stderr) std::fclose(file_);
}

bool EventLog::Open(const std::string& path) {
  file_ = path == "-" ? stderr : std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void EventLog::Write(int64_t us, const std::string& what) {
  if (!file_) return;
  std::fprintf(file_, "%lld %s\n", static_cast<long long>(us), what.c_str());
  std::fflush(file_);
}

}  // namespace slave_sim
