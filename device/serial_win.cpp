// The serial port on Windows: the kernel's communications calls. Waits are
// the driver's read time-outs, so no call spins while the line is quiet.
#include <windows.h>

#include <climits>

#include "device/serial_port.h"

namespace ostrel {

namespace {

constexpr DWORD kQueueSize = 1024;

class WindowsSerialPort final : public SerialPort {
 public:
  ~WindowsSerialPort() override { close(); }

  uint8_t open(const std::string& device, uint32_t baud) override {
    if (handle_ != INVALID_HANDLE_VALUE) return kOpenAlreadyOpen;
    if (device.empty()) return kOpenFailed;

    // Exclusive (no sharing), synchronous.
    const HANDLE handle =
        CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kOpenFailed;

    // The settings record from zero: 8N1, every flag (flow control, DTR and
    // RTS control, parity check, ...) and every character 0. A rate the
    // driver refuses leaves the previous settings, so the outcome is not
    // checked.
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(handle, &dcb);

    if (!PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
      return fail(handle, kOpenPurge);
    if (!ClearCommBreak(handle)) return fail(handle, kOpenBreak);
    if (!setTimeouts(handle, 0, 0, 0)) return fail(handle, kOpenTimeouts);
    if (!SetupComm(handle, kQueueSize, kQueueSize)) return fail(handle, kOpenQueueSizes);

    handle_ = handle;
    return kOpenOk;
  }

  bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  bool close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

  bool writeAll(const uint8_t* data, size_t size) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    size_t done = 0;
    while (done < size) {
      const size_t left = size - done;
      const DWORD chunk = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
      DWORD wrote = 0;
      if (!WriteFile(handle_, data + done, chunk, &wrote, nullptr)) return false;
      if (wrote == 0) return false;  // the port takes nothing: it will not
      done += wrote;
    }
    return true;
  }

  // One byte is awaited with the driver's time-outs (interval and multiplier
  // MAXDWORD: the read returns as soon as a byte is there, or after the
  // constant), then whatever else is queued is taken without waiting. The
  // port's all-zero time-outs are restored afterwards.
  int readSome(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override {
    if (handle_ == INVALID_HANDLE_VALUE) return -1;
    if (buffer == nullptr || capacity == 0) return 0;
    if (capacity > INT_MAX) capacity = INT_MAX;

    const bool waits = timeoutMs > 0;
    const DWORD constant = timeoutMs >= MAXDWORD ? MAXDWORD - 1 : static_cast<DWORD>(timeoutMs);
    if (!setTimeouts(handle_, MAXDWORD, waits ? MAXDWORD : 0, waits ? constant : 0)) return -1;

    int result = -1;
    DWORD got = 0;
    if (ReadFile(handle_, buffer, 1, &got, nullptr)) {
      result = static_cast<int>(got);
      if (got == 1 && capacity > 1) {
        DWORD errors = 0;
        COMSTAT stat;
        ZeroMemory(&stat, sizeof stat);
        if (ClearCommError(handle_, &errors, &stat) && stat.cbInQue > 0) {
          const DWORD more = stat.cbInQue < capacity - 1 ? stat.cbInQue : static_cast<DWORD>(capacity - 1);
          DWORD gotMore = 0;
          if (ReadFile(handle_, buffer + 1, more, &gotMore, nullptr)) result += static_cast<int>(gotMore);
        }
      }
    }
    if (!setTimeouts(handle_, 0, 0, 0) && result == 0) result = -1;
    return result;
  }

 private:
  static bool setTimeouts(HANDLE handle, DWORD interval, DWORD multiplier, DWORD constant) {
    COMMTIMEOUTS timeouts;
    ZeroMemory(&timeouts, sizeof timeouts);
    timeouts.ReadIntervalTimeout = interval;
    timeouts.ReadTotalTimeoutMultiplier = multiplier;
    timeouts.ReadTotalTimeoutConstant = constant;
    return SetCommTimeouts(handle, &timeouts) != 0;
  }

  static uint8_t fail(HANDLE handle, uint8_t code) {
    CloseHandle(handle);
    return code;
  }

  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<SerialPort> createSystemSerialPort() { return std::make_unique<WindowsSerialPort>(); }

// Asks the system again why the device does not open. A COM port that
// another program holds answers "access denied", so that means busy here.
OpenFailure probeOpenFailure(const std::string& device) {
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return OpenFailure::Other;
  }
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return OpenFailure::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return OpenFailure::Busy;
    default:
      return OpenFailure::Other;
  }
}

}  // namespace ostrel
