// Counts for the record of a run: faults injected and calls tried, printed
// once when the suite ends.
#pragma once

#include <atomic>
#include <cstdint>

namespace figures {

inline std::atomic<uint64_t>& faults() {
  static std::atomic<uint64_t> n{0};
  return n;
}
inline std::atomic<uint64_t>& calls() {
  static std::atomic<uint64_t> n{0};
  return n;
}
inline void faultInjected() { ++faults(); }
inline void callTried() { ++calls(); }

}  // namespace figures
