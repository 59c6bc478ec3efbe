// The platform's standard fiscal-register driver methods.
#pragma once

#include "command/command.h"

namespace ostrel::driver {

// A data field of the driver's own: the default password, then `rest`.
inline std::string PasswordField(std::string_view rest = {}) {
  return std::string(kDefaultPassword) + ";" + std::string(rest);
}

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
