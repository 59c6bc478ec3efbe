// OpenPort and ClosePort: the script's own port.
#include "status/status.h"

namespace ostrel::status {

bool OpenPort(CommandContext& context, Call& call) {
  PortState& port = context.port();
  if (port.open) {
    call.resultUI1(kOpenAlreadyOpen);
    return true;
  }
  uint8_t number = 0;
  int32_t baud = 0;
  if (!call.byte(0, number) || !call.integer(1, baud)) return false;
  port.number = number;
  port.baud = static_cast<uint32_t>(baud);

  // A new open replaces the script's previous port object; if it is still
  // open (another port became current since), it is released first.
  if (port.scriptPort) {
    context.closePort(*port.scriptPort);
    port.scriptPort.reset();
  }
  port.handle = nullptr;
  uint8_t code = kOpenFailed;
  std::string device = serialDeviceForNumber(number);
  if (!device.empty()) {
    auto opened = context.newPort();
    code = opened->open(device, port.baud);
    if (code == kOpenOk) {
      port.scriptPort = std::move(opened);
      port.handle = port.scriptPort.get();
      port.open = true;
    }
  }
  call.resultUI1(code);
  return true;
}

bool ClosePort(CommandContext& context, Call&) {
  PortState& port = context.port();
  if (port.open) {
    if (port.handle) context.closePort(*port.handle);
    context.pauseAfterClose();
  }
  port.open = false;
  port.handle = nullptr;
  return true;
}

}  // namespace ostrel::status
