// The command context: everything a method may touch between the host's
// call and the bytes on the line. It owns the current port, the sequence
// counter, the exchange with its last answer, the LastCmd text and the
// equipment driver's devices, and offers each step of a printer command as
// one call. Ports come from an injected factory, so a method can be driven
// with a fake port and clock.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "device/clock.h"
#include "device/codes.h"
#include "device/link.h"
#include "device/serial_port.h"

namespace ostrel {

class Call;

using PortFactory = std::function<std::unique_ptr<SerialPort>()>;

// The serial line every command travels on.
struct PortState {
  // The port OpenPort opened (the driver's ports belong to their slots).
  std::unique_ptr<SerialPort> scriptPort;
  // The current port: the one the most recent OpenPort or Open made
  // current; null whenever no port is open.
  SerialPort* handle = nullptr;
  uint8_t number = 1;    // the script port's number, property Port
  uint32_t baud = 9600;  // the current port's rate, property Baud
  bool open = false;     // property IsOpen
};

constexpr int kDeviceSlots = 20;

// One device the equipment driver has connected.
struct DeviceSlot {
  std::unique_ptr<SerialPort> port;
  std::u16string identifier;  // the printer's serial number, as Open handed it out
  std::string devicePath;     // the device it opened, to refuse opening it twice
  bool inUse = false;
};

// The equipment driver's settings, kept in memory only.
struct DriverSettings {
  std::u16string model;
  std::u16string port;       // "COM3", a device path, or a form index as text
  bool portIsIndex = false;  // the settings form's Port: index 0..8 names COM1..COM9
  int32_t speed = 0;         // a form index 0..7, or a rate
  std::u16string equipmentType;
};

struct DriverState {
  DriverSettings settings;
  std::array<DeviceSlot, kDeviceSlots> slots;
};

class CommandContext {
 public:
  CommandContext(Clock& clock, const Timings& timings, PortFactory ports);

  // The state after Init: no port, counter 255, an empty answer, no
  // devices, no port failure. LastCmd and the driver's settings are kept.
  void reset();

  // ---- ports ----
  PortState& port() { return port_; }
  const PortState& port() const { return port_; }
  std::unique_ptr<SerialPort> newPort() const { return ports_(); }
  // Closes a port object; if it was the current port, no port is current
  // any more and IsOpen becomes false, so nothing is written to a closed
  // device.
  bool closePort(SerialPort& port);
  // The pause the printer needs after a port closes.
  void pauseAfterClose() { clock_.sleepMs(timings_.closePauseMs); }
  // The pause between the last-receipt query and its copy.
  void pauseBeforeCopy() { clock_.sleepMs(timings_.copyPauseMs); }

  // ---- LastCmd ----
  const std::u16string& lastCmd() const { return lastCmd_; }
  void setLastCmd(std::u16string_view text) { lastCmd_ = text; }
  // Passes the text arguments of `mask` (bit i: argument i) through LastCmd
  // in turn, so afterwards it holds the last of them.
  void passThroughLastCmd(const Call& call, uint16_t mask);

  // ---- the command steps ----
  // Advances the sequence `advances` times, then sends command `code` with
  // `data` on the current port and reads its answer.
  void send(uint8_t code, std::string_view data, int advances = 1);
  // A further command of the same method: the counter grows by one plainly.
  void sendNext(uint8_t code, std::string_view data);
  // The status request with the password alone.
  void requestStatus(std::string_view data) { send(code::kStatus, data); }
  // Advances the sequence without sending anything.
  void advance() { link_.advanceSequence(); }

  // ---- the last answer ----
  const Answer& answer() const { return link_.answer(); }
  Answer& answer() { return link_.answer(); }
  // True when the printer answered and took the command ("0000").
  bool accepted() const;
  // The device code as text, and its message, for the error properties.
  std::u16string errorCodeText() const;
  std::u16string_view errorMessage() const;

  // ---- a port that could not be used ----
  // What GetLastError reports in place of the last answer after the driver
  // failed on the port itself ("<message>: <code>"); empty when the last
  // answer stands. The next exchange, and Init, clear it.
  const std::u16string& portFailure() const { return portFailure_; }
  void setPortFailure(std::u16string text) { portFailure_ = std::move(text); }
  void clearPortFailure() { portFailure_.clear(); }

  // ---- the equipment driver ----
  DriverState& driver() { return driver_; }
  // The port of the connected device with this identifier, or null.
  SerialPort* findDevice(std::u16string_view identifier);

 private:
  bool prime();

  Clock& clock_;
  const Timings& timings_;
  PortFactory ports_;
  Link link_;
  PortState port_;
  std::u16string lastCmd_;
  std::u16string portFailure_;
  DriverState driver_;
  // False until the printer on the current port has answered once since
  // Init or the last close (see prime()).
  bool primed_ = false;
};

}  // namespace ostrel
