#include "device/answer.h"

#include <cstring>

namespace ostrel {

void Answer::setTimedOut() {
  std::memset(fields, 0, sizeof fields);
  fieldCount = 0;
  std::memset(status, 0, sizeof status);
  timedOut = true;
}

}  // namespace ostrel
