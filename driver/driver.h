// The platform's standard fiscal-register driver methods.
#pragma once

#include "command/command.h"

namespace ostrel::driver {

// A data field of the driver's own: the default password, then `rest`.
inline std::string PasswordField(std::string_view rest = {}) {
  return std::string(kDefaultPassword) + ";" + std::string(rest);
}

// Why the driver could not use a port.
enum class PortProblem { Missing, Busy, Denied, NotConfigured, NotOpened, NotClosed, NoIdentity };

// Why opening `device` failed with `openCode` (device/serial_port.h): a port
// that opened but could not be configured as such, a port that did not open
// as the system explains it when asked again; no device at all is missing.
PortProblem DiagnoseOpen(const std::string& device, uint8_t openCode);
// The port as messages name it: the device ("COM3" without the "\\.\" of
// Windows, "/dev/ttyUSB0"), else the Port setting as it stands.
std::u16string PortLabel(const DriverSettings& settings, const std::string& device);
// GetLastError's "<message>: <code>" for a port failure, the codes 01FF to
// 07FF in the order of PortProblem; "Порт не задан: 00FF" for no label.
std::u16string PortFailureText(PortProblem problem, std::u16string_view label);

// Description and parameters.
bool GetVersion(CommandContext& context, Call& call);
bool GetDescription(CommandContext& context, Call& call);
bool GetLastError(CommandContext& context, Call& call);
bool GetParameters(CommandContext& context, Call& call);
bool SetParameter(CommandContext& context, Call& call);

// Device connection.
bool Open(CommandContext& context, Call& call);
bool Close(CommandContext& context, Call& call);
bool DeviceTest(CommandContext& context, Call& call);
bool GetAdditionalActions(CommandContext& context, Call& call);
bool DoAdditionalAction(CommandContext& context, Call& call);

// Standard fiscal methods.
bool Acknowledge(CommandContext& context, Call& call);        // device check, nothing sent
bool OpenShift(CommandContext& context, Call& call);          // not even the check
bool PrintNonFiscalString(CommandContext& context, Call& call);
bool PrintBarCode(CommandContext& context, Call& call);
bool CloseCheck(CommandContext& context, Call& call);
bool CancelCheck(CommandContext& context, Call& call);
bool CashInOutcome(CommandContext& context, Call& call);
bool PrintXReport(CommandContext& context, Call& call);
bool PrintZReport(CommandContext& context, Call& call);
bool OpenCashDrawer(CommandContext& context, Call& call);
bool GetLineLength(CommandContext& context, Call& call);

}  // namespace ostrel::driver
