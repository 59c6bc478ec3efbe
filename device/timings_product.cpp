#include "device/clock.h"

namespace ostrel {

const Timings& linkTimings() {
  static const Timings timings{60000, 1000, 3000, 1000};
  return timings;
}

}  // namespace ostrel
