// A broken promise in a fuzz target: says which, then aborts so the fuzzer
// records the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define check(condition)                                                             \
  do {                                                                               \
    if (!(condition)) {                                                              \
      std::fprintf(stderr, "finding: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)
