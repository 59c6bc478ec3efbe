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

// The COM port number a form index names (index n is COM(n+1)); 0 when the
// setting is not an index, -1 when it is one out of range.
int formPortNumber(const DriverSettings& settings) {
  if (!settings.portIsIndex) return 0;
  auto index = ParseWholeInteger(settings.port);
  if (!index || *index < 0 || *index > 254) return -1;
  return static_cast<int>(*index) + 1;
}

// The device the Port setting names: a form index as above, "COMn" is port
// n, and on POSIX a path is used as it stands.
std::string settingDevice(const DriverSettings& settings) {
  int number = formPortNumber(settings);
  if (number < 0) return {};
  if (number > 0) return serialDeviceForNumber(number);
  return serialDeviceForSetting(AnsiFromWide(settings.port));
}

// The port as the settings form shows it: "COM3" for index 2, else the text.
std::u16string portLabel(const DriverSettings& settings) {
  int number = formPortNumber(settings);
  if (number > 0) return WideFromAnsi("COM" + DecimalText(number));
  return settings.port.empty() ? std::u16string(u"?") : settings.port;
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

}  // namespace

bool Open(CommandContext& context, Call& call) {
  if (!call.has(0)) return false;
  std::u16string incoming = incomingText(call, 0);
  std::string device = settingDevice(context.driver().settings);
  auto refuse = [&] {
    call.outText(0, u"");
    return false;
  };

  DeviceSlot* free = nullptr;
  for (auto& slot : context.driver().slots) {
    // A slot in use holds its device until Close frees it, even when
    // ClosePort has closed the port under it.
    if (slot.inUse && !device.empty() && slot.devicePath == device) return refuse();
    if (!slot.inUse && !free) free = &slot;
  }
  if (!free || device.empty()) return refuse();

  uint32_t speed = settingSpeed(context.driver().settings);
  auto port = context.newPort();
  if (port->open(device, speed) != kOpenOk) return refuse();

  PortState& state = context.port();
  SerialPort* previousHandle = state.handle;
  uint32_t previousBaud = state.baud;
  bool previousOpen = state.open;
  auto restore = [&] {
    port->close();
    state.handle = previousHandle;
    state.baud = previousBaud;
    state.open = previousOpen;
  };
  state.baud = speed;
  state.open = true;
  state.handle = port.get();
  context.setLastCmd(incoming);
  context.send(code::kIdentity, PasswordField());

  const Answer& answer = context.answer();
  std::u16string identifier = answer.fieldCount > 0 ? WideFromAnsi(answer.fields[0]) : std::u16string();
  if (answer.timedOut || identifier.empty()) {
    // No printer answered with an identity: nothing is connected.
    restore();
    return refuse();
  }
  if (!call.outText(0, identifier)) {
    restore();
    return false;
  }
  free->port = std::move(port);
  free->identifier = identifier;
  free->devicePath = device;
  free->inUse = true;
  return true;
}

bool Close(CommandContext& context, Call& call) {
  std::u16string identifier;
  if (!call.text(0, identifier)) return false;
  if (!context.findDevice(identifier)) {
    call.resultBool(false);
    return false;
  }
  for (auto& slot : context.driver().slots) {
    if (slot.inUse && slot.identifier == identifier) {
      bool closed = slot.port ? context.closePort(*slot.port) : false;
      context.pauseAfterClose();
      slot = DeviceSlot{};
      return closed;
    }
  }
  return false;
}

bool DeviceTest(CommandContext& context, Call& call) {
  std::u16string incoming = incomingText(call, 0);
  std::string device = settingDevice(context.driver().settings);
  uint32_t speed = settingSpeed(context.driver().settings);
  auto port = context.newPort();
  if (device.empty() || port->open(device, speed) != kOpenOk) {
    call.outText(0, std::u16string(kTestNoPort) + portLabel(context.driver().settings));
    call.outText(1, u"");
    call.resultBool(false);
    return false;
  }

  PortState& state = context.port();
  // The port under test becomes the current port for its exchange, then
  // is closed; the previous current port is no longer current.
  if (state.handle && state.handle != port.get()) {
    state.handle = nullptr;
    state.open = false;
  }
  state.handle = port.get();
  state.baud = speed;
  context.setLastCmd(incoming);
  context.send(code::kReport, PasswordField("1;"));

  std::u16string verdict;
  if (context.accepted()) {
    verdict = kTestPassed;
  } else {
    verdict = std::u16string(kTestFailed) + context.errorCodeText() + std::u16string(context.errorMessage());
  }
  context.closePort(*port);
  state.handle = nullptr;
  state.open = false;
  context.pauseAfterClose();
  bool ok = call.outText(0, verdict);
  ok &= !call.has(1) || call.outText(1, u"");
  if (!ok) return false;
  call.resultBool(true);
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
