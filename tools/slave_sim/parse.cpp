#include "parse.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace slave_sim {

std::optional<long> ParseInt(const std::string& text, long min, long max) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value < min || value > max) return std::nullopt;
  return value;
}

std::optional<std::set<int>> ParseAddresses(const std::string& text) {
  std::set<int> addresses;
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ',')) {
    const size_t dash = part.find('-');
    const auto first = ParseInt(part.substr(0, dash), 1, 247);
    const auto last = dash == std::string::npos ? first : ParseInt(part.substr(dash + 1), 1, 247);
    if (!first || !last || *last < *first) return std::nullopt;
    for (long a = *first; a <= *last; ++a) addresses.insert(static_cast<int>(a));
  }
  if (addresses.empty() || text.back() == ',') return std::nullopt;
  return addresses;
}

std::optional<std::vector<long>> ParseList(const std::string& text, long min, long max) {
  std::vector<long> values;
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ',')) {
    const auto value = ParseInt(part, min, max);
    if (!value) return std::nullopt;
    values.push_back(*value);
  }
  if (values.empty() || text.back() == ',') return std::nullopt;
  return values;
}

std::optional<int64_t> ParseDuration(const std::string& text) {
  int64_t unit = 1000;
  std::string number = text;
  if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
    number = text.substr(0, text.size() - 2);
  } else if (text.size() > 1 && text.back() == 's') {
    number = text.substr(0, text.size() - 1);
    unit = 1'000'000;
  }
  const auto value = ParseInt(number, 0, 3'600'000'000 / unit);
  if (!value) return std::nullopt;
  return *value * unit;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace slave_sim
