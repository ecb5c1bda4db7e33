// Parsing of the small values that options and control commands carry.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace slave_sim {

// A decimal integer in [min, max], nothing else in the text.
std::optional<long> ParseInt(const std::string& text, long min, long max);
// "1-10", "1,3,5", "1-3,7": slave addresses 1..247.
std::optional<std::set<int>> ParseAddresses(const std::string& text);
// "3,4,4": integers in [min, max], at least one.
std::optional<std::vector<long>> ParseList(const std::string& text, long min, long max);
// "20", "20ms" or "2s", in microseconds; up to an hour.
std::optional<int64_t> ParseDuration(const std::string& text);
// Whitespace-separated words.
std::vector<std::string> Words(const std::string& line);

}  // namespace slave_sim
