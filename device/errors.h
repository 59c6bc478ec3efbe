// The printer's error codes and their messages.
#pragma once

#include <string_view>

namespace ostrel {

struct DeviceError {
  std::u16string_view code;
  std::u16string_view message;
};

// "Неизвестная ошибка или таймаут регистратора".
extern const std::u16string_view kUnknownErrorText;

// The table in its fixed order (133 entries).
const DeviceError* deviceErrorTable(size_t* count);

// Position (0-based index into deviceErrorTable) of the first entry with
// exactly this code; -3 when the last exchange timed out, -1 when the code is
// not four characters, -2 when absent.
int lookupDeviceError(std::u16string_view code, bool timedOut);

// The message for a code: the table's, or kUnknownErrorText.
std::u16string_view deviceErrorMessage(std::u16string_view code, bool timedOut);

}  // namespace ostrel
