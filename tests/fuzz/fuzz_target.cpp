// One libFuzzer target; FUZZ_TARGET names the entry it runs.
#include <cstdio>
#include <cstdlib>

#include "entries.h"

namespace {
fuzz::Entry entry = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  entry = fuzz::EntryFor(FUZZ_TARGET);
  if (!entry) {
    std::fprintf(stderr, "no fuzz entry named %s\n", FUZZ_TARGET);
    std::abort();
  }
  fuzz::EnsureApplication();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  entry(data, size);
  return 0;
}
