// Connecting a printer for the equipment library: device slots, Open, Close,
// DeviceTest.
#include "command/numbers.h"
#include "command/text.h"
#include "device/errors.h"
#include "driver/driver.h"

namespace ostrel::driver {
namespace {

constexpr char16_t kTestPassed[] = u"Тест Устройства (X-отчет) выполнен успешно!";
constexpr char16_t kTestFailed[] = u"Тест Устройства (X-отчет) - ошибка ";
constexpr char16_t kTestNoPort[] = u"Тест Устройства (X-отчет) - ошибка: не удалось открыть порт ";

// The settings form's speeds, by index.
constexpr uint32_t kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// The device the Port setting names: a form index names the device the
// settings form labels with it, "COMn" is port n, and on POSIX a path is
// used as it stands.
std::string settingDevice(const DriverSettings& settings) {
  if (settings.portIsIndex) {
    auto index = ParseWholeInteger(settings.port);
    if (!index || *index < 0 || *index > 254) return {};
    return serialDeviceForFormIndex(static_cast<int>(*index));
  }
  return serialDeviceForSetting(AnsiFromWide(settings.port));
}

uint32_t settingSpeed(const DriverSettings& settings) {
  if (settings.speed >= 0 && settings.speed < static_cast<int32_t>(std::size(kSpeeds))) return kSpeeds[settings.speed];
  return static_cast<uint32_t>(settings.speed);
}

// An output argument's incoming text; anything that is not text reads empty.
std::u16string incomingText(const Call& call, int i) {
  std::u16string text;
  if (!call.text(i, text)) text.clear();
  return text;
}

// Makes `port` the current port and asks the printer for its identity;
// false, with everything as it was and the port closed, when it gives none.
bool identify(CommandContext& context, SerialPort& port, uint32_t speed, const std::u16string& incoming,
              std::u16string& identifier) {
  PortState& state = context.port();
  SerialPort* previousHandle = state.handle;
  uint32_t previousBaud = state.baud;
  bool previousOpen = state.open;
  state.baud = speed;
  state.open = true;
  state.handle = &port;
  context.setLastCmd(incoming);
  context.send(code::kIdentity, PasswordField());

  const Answer& answer = context.answer();
  identifier = answer.fieldCount > 0 ? WideFromAnsi(answer.fields[0]) : std::u16string();
  if (!answer.timedOut && !identifier.empty()) return true;
  port.close();
  state.handle = previousHandle;
  state.baud = previousBaud;
  state.open = previousOpen;
  return false;
}

}  // namespace

// Connects the printer on the Port setting. A port already held by a slot,
// or no free slot, refuses the call; anything that keeps the printer from
// connecting answers the result false, with the reason for GetLastError: the
// port's failure, or the printer's last answer (its refusal, or silence).
bool Open(CommandContext& context, Call& call) {
  if (!call.has(0)) return false;
  context.clearPortFailure();
  std::u16string incoming = incomingText(call, 0);
  const DriverSettings& settings = context.driver().settings;
  std::string device = settingDevice(settings);
  auto notConnected = [&](bool callDone) {
    call.resultBool(false);
    return call.outText(0, u"") && callDone;
  };
  auto portFailed = [&](PortProblem problem) {
    context.setPortFailure(PortFailureText(problem, PortLabel(settings, device)));
    return notConnected(true);
  };

  DeviceSlot* free = nullptr;
  for (auto& slot : context.driver().slots) {
    // A slot in use holds its device until Close frees it, even when
    // ClosePort has closed the port under it.
    if (slot.inUse && !device.empty() && slot.devicePath == device) return notConnected(false);
    if (!slot.inUse && !free) free = &slot;
  }
  if (!free) return notConnected(false);
  if (device.empty()) return portFailed(PortProblem::Missing);

  uint32_t speed = settingSpeed(settings);
  auto port = context.newPort();
  uint8_t opened = port->open(device, speed);
  if (opened != kOpenOk) return portFailed(DiagnoseOpen(device, opened));

  std::u16string identifier;
  if (!identify(context, *port, speed, incoming, identifier)) {
    // An accepted answer without the number is no printer's identity.
    if (context.accepted()) return portFailed(PortProblem::NoIdentity);
    return notConnected(true);
  }
  if (!call.outText(0, identifier)) {
    context.closePort(*port);
    return false;
  }
  free->port = std::move(port);
  free->identifier = identifier;
  free->devicePath = device;
  free->inUse = true;
  call.resultBool(true);
  return true;
}

// Disconnects a device: the result says whether its port closed.
bool Close(CommandContext& context, Call& call) {
  std::u16string identifier;
  if (!call.text(0, identifier)) return false;
  if (!context.findDevice(identifier)) {
    call.resultBool(false);
    return false;
  }
  context.clearPortFailure();
  for (auto& slot : context.driver().slots) {
    if (slot.inUse && slot.identifier == identifier) {
      bool closed = slot.port ? context.closePort(*slot.port) : false;
      context.pauseAfterClose();
      if (!closed) {
        context.setPortFailure(PortFailureText(PortProblem::NotClosed, PortLabel(context.driver().settings, slot.devicePath)));
      }
      slot = DeviceSlot{};
      call.resultBool(closed);
      return true;
    }
  }
  return false;
}

// Prints an X report on the Port setting's printer without connecting it;
// the result says whether the printer took it.
bool DeviceTest(CommandContext& context, Call& call) {
  context.clearPortFailure();
  std::u16string incoming = incomingText(call, 0);
  const DriverSettings& settings = context.driver().settings;
  std::string device = settingDevice(settings);
  uint32_t speed = settingSpeed(settings);
  auto port = context.newPort();
  uint8_t opened = device.empty() ? static_cast<uint8_t>(kOpenFailed) : port->open(device, speed);
  if (opened != kOpenOk) {
    std::u16string label = PortLabel(settings, device);
    context.setPortFailure(PortFailureText(DiagnoseOpen(device, opened), label));
    bool ok = call.outText(0, std::u16string(kTestNoPort) + (label.empty() ? u"?" : label));
    ok &= !call.has(1) || call.outText(1, u"");
    call.resultBool(false);
    return ok;
  }

  PortState& state = context.port();
  // The port under test becomes the current port for its exchange, then
  // is closed; the previous current port is no longer current.
  state.handle = port.get();
  state.baud = speed;
  context.setLastCmd(incoming);
  context.send(code::kReport, PasswordField("1;"));

  bool passed = context.accepted();
  std::u16string verdict = passed ? std::u16string(kTestPassed)
                                  : std::u16string(kTestFailed) + context.errorCodeText() +
                                        std::u16string(context.errorMessage());
  context.closePort(*port);
  state.handle = nullptr;
  state.open = false;
  context.pauseAfterClose();
  bool ok = call.outText(0, verdict);
  ok &= !call.has(1) || call.outText(1, u"");
  if (!ok) return false;
  call.resultBool(passed);
  return true;
}

bool GetAdditionalActions(CommandContext&, Call& call) {
  if (!call.outText(0, u"")) return false;
  call.resultBool(true);
  return true;
}

bool DoAdditionalAction(CommandContext&, Call& call) {
  call.resultBool(true);
  return false;
}

}  // namespace ostrel::driver
