// The code every fuzz target runs on one input, shared with the regression suite that replays
// the inputs once found failing. An entry never throws: a reader refusing its input is fine,
// only a crash or a sanitizer report is a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fuzz {

using Entry = void (*)(const uint8_t* data, size_t size);

// Receive events and timer ticks for the main window on a recording serial line.
void FeedAnswers(const uint8_t* data, size_t size);
// A message catalogue (.mo) opened by a text domain.
void FeedCatalogue(const uint8_t* data, size_t size);
// A skin theme file.
void FeedTheme(const uint8_t* data, size_t size);
// The text of a registry file.
void FeedRegistry(const uint8_t* data, size_t size);
// An ini file, read and then updated.
void FeedIni(const uint8_t* data, size_t size);
// A property text file loaded into instrument controls.
void FeedProperties(const uint8_t* data, size_t size);

// By target name: answers, catalogue, theme, registry, ini, properties. Null for others.
Entry EntryFor(std::string_view target);

// Once per process: the offscreen QApplication the widget entries need.
void EnsureApplication();

}  // namespace fuzz
