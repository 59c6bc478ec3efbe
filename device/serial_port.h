// One serial port with the fixed line settings the printer protocol expects
// (8N1, no flow control, DTR/RTS off, no time-outs, 1024-byte queues).
//
// Error contract: open() returns a result code (0 success, 1 cannot open, 252
// queue sizes, 253 time-outs, 254 break, 255 purge); on any failure the device
// is released again and isOpen() is false. writeAll() and readSome() on a port
// that is not open fail at once. No call throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ostrel {

enum OpenCode : uint8_t {
  kOpenOk = 0,
  kOpenFailed = 1,
  kOpenAlreadyOpen = 8,
  kOpenQueueSizes = 252,
  kOpenTimeouts = 253,
  kOpenBreak = 254,
  kOpenPurge = 255,
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens `device` exclusively (a port held by anyone else fails with 1) and
  // applies the line settings at `baud`. A rate the system refuses keeps the
  // previous rate and the sequence goes on. Steps a device cannot do at all
  // (a pseudo-terminal has no modem lines and no break) count as done.
  virtual uint8_t open(const std::string& device, uint32_t baud) = 0;
  virtual bool isOpen() const = 0;
  // Closes the device; true when the system reported it closed. The port is
  // not open afterwards in any case.
  virtual bool close() = 0;
  // Writes every byte or fails (false) on the first error.
  virtual bool writeAll(const uint8_t* data, size_t size) = 0;
  // Waits up to `timeoutMs` for input without spinning and reads what has
  // arrived, at most `capacity` bytes. Returns the count (> 0), 0 when the
  // time passed in silence, -1 when the port is not open or failed (hang-up,
  // I/O error): such a port will not deliver.
  virtual int readSome(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) = 0;
};

// Why a device would not open, asked of the system again after a failed
// open: it does not exist, another program holds it, access is denied, or
// something else. The probe takes no lock and changes no line setting.
enum class OpenFailure { Missing, Busy, Denied, Other };
OpenFailure probeOpenFailure(const std::string& device);

// The backend of this operating system.
std::unique_ptr<SerialPort> createSystemSerialPort();

// Device name of COM port number n: "/dev/ttyS{n-1}" on POSIX, "\\.\COMn" on
// Windows. Empty for n < 1 (no such port).
std::string serialDeviceForNumber(int n);

// Device name of the settings form's Port value `index`, as the form of this
// system labels it: on Windows COM(index+1); on POSIX /dev/ttyS0 to
// /dev/ttyS8 for 0 to 8 (the devices of COM1 to COM9), /dev/ttyUSB0 to
// /dev/ttyUSB3 for 9 to 12, /dev/ttyACM0 to /dev/ttyACM3 for 13 to 16.
// Empty for any other index.
std::string serialDeviceForFormIndex(int index);

// Device name for the driver's Port setting: "COMn" (any case of the letters
// is not accepted: exactly "COM" and digits) names port n; on POSIX a text
// starting with "/" is a device path used as it stands; on Windows any other
// text is taken as a device name after "\\.\". Empty when nothing is named.
std::string serialDeviceForSetting(const std::string& setting);

}  // namespace ostrel
