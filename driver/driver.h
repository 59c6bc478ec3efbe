// The platform's standard fiscal-register driver methods.
#pragma once

#include "command/command.h"

namespace ostrel::driver {

// Description and parameters.
bool GetVersion(CAddInNative& component, Call& call);
bool GetDescription(CAddInNative& component, Call& call);
bool GetLastError(CAddInNative& component, Call& call);
bool GetParameters(CAddInNative& component, Call& call);
bool SetParameter(CAddInNative& component, Call& call);

// Device connection.
bool Open(CAddInNative& component, Call& call);
bool Close(CAddInNative& component, Call& call);
bool DeviceTest(CAddInNative& component, Call& call);
bool GetAdditionalActions(CAddInNative& component, Call& call);
bool DoAdditionalAction(CAddInNative& component, Call& call);

// Standard fiscal methods.
bool Acknowledge(CAddInNative& component, Call& call);        // device check, nothing sent
bool OpenShift(CAddInNative& component, Call& call);          // not even the check
bool PrintNonFiscalString(CAddInNative& component, Call& call);
bool PrintBarCode(CAddInNative& component, Call& call);
bool CloseCheck(CAddInNative& component, Call& call);
bool CancelCheck(CAddInNative& component, Call& call);
bool CashInOutcome(CAddInNative& component, Call& call);
bool PrintXReport(CAddInNative& component, Call& call);
bool PrintZReport(CAddInNative& component, Call& call);
bool OpenCashDrawer(CAddInNative& component, Call& call);
bool GetLineLength(CAddInNative& component, Call& call);

// The slot's port for a device identifier, or null (the invalid handle).
SerialPort* FindDevice(CAddInNative& component, std::u16string_view identifier);

}  // namespace ostrel::driver
