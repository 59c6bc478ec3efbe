// The component object the host creates: its state and the host's
// interfaces. What each method does lives in the method table (registry.h)
// and the subsystems' handlers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "addin/abi.h"
#include "device/link.h"
#include "device/serial_port.h"

namespace ostrel {

constexpr int kDeviceSlots = 20;

// The serial line every command travels on.
struct PortState {
  // The port OpenPort opened (the driver's ports belong to their slots).
  std::unique_ptr<SerialPort> scriptPort;
  // PortHandle: the port the most recent OpenPort or Open set; null (the
  // invalid handle) whenever no port is open.
  SerialPort* handle = nullptr;
  uint8_t number = 1;    // PortNumber, property Port
  uint32_t baud = 9600;  // BaudRate, property Baud
  bool open = false;     // PortOpen, property IsOpen
};

// One device connection of the equipment driver.
struct DeviceSlot {
  std::unique_ptr<SerialPort> port;
  std::u16string identifier;
  std::string devicePath;  // the device it opened, to refuse opening it twice
  bool inUse = false;
};

// The equipment driver's settings, kept in memory only.
struct DriverSettings {
  std::u16string model;
  std::u16string port;       // "COM3", a device path, or a form index as text
  bool portIsIndex = false;  // the settings form's Port: index 0..8 names COM1..COM9
  int32_t speed = 0;
  std::u16string equipmentType;
};

// Texts and values the command methods leave behind.
struct CommandTexts {
  std::u16string lastCmd;     // property LastCmd
  std::u16string lastAnswer;  // property LastAnswer: nothing fills it
  std::u16string result;      // text result of the money counters
  double money = 0;           // numeric result of the money counters
  uint8_t rawCommand = 0;     // command code of the last DirectIO
};

class CAddInNative final : public IComponentBase {
 public:
  CAddInNative();
  ~CAddInNative();  // virtual through the bases on Linux; deleted by its own type everywhere
  CAddInNative(const CAddInNative&) = delete;
  CAddInNative& operator=(const CAddInNative&) = delete;

  // IInitDoneBase
  bool ADDIN_API Init(void* connection) override;
  bool ADDIN_API setMemManager(void* memory) override;
  long ADDIN_API GetInfo() override;
  void ADDIN_API Done() override;
  // ILanguageExtenderBase
  bool ADDIN_API RegisterExtensionAs(WCHAR_T** name) override;
  long ADDIN_API GetNProps() override;
  long ADDIN_API FindProp(const WCHAR_T* name) override;
  const WCHAR_T* ADDIN_API GetPropName(long number, long language) override;
  bool ADDIN_API GetPropVal(const long number, tVariant* value) override;
  bool ADDIN_API SetPropVal(const long number, tVariant* value) override;
  bool ADDIN_API IsPropReadable(const long number) override;
  bool ADDIN_API IsPropWritable(const long number) override;
  long ADDIN_API GetNMethods() override;
  long ADDIN_API FindMethod(const WCHAR_T* name) override;
  const WCHAR_T* ADDIN_API GetMethodName(const long number, const long language) override;
  long ADDIN_API GetNParams(const long number) override;
  bool ADDIN_API GetParamDefValue(const long method, const long position, tVariant* value) override;
  bool ADDIN_API HasRetVal(const long number) override;
  bool ADDIN_API CallAsProc(const long number, tVariant* args, const long count) override;
  bool ADDIN_API CallAsFunc(const long number, tVariant* result, tVariant* args, const long count) override;
  // LocaleBase
  void ADDIN_API SetLocale(const WCHAR_T* locale) override;

  // ---- used by the handlers ----
  Link& link() { return link_; }
  PortState& port() { return port_; }
  CommandTexts& texts() { return texts_; }
  DriverSettings& settings() { return settings_; }
  std::array<DeviceSlot, kDeviceSlots>& slots() { return slots_; }

  // One exchange on PortHandle.
  void exchange(uint8_t command, std::string_view data) { link_.exchange(port_.handle, command, data); }
  // Closes a port object; if it was PortHandle, no port is current any more
  // and IsOpen becomes false, so nothing is ever written to a closed device.
  bool closePort(SerialPort& port);
  // The device code, as text, for the error properties.
  std::u16string errorCodeText() const;
  std::u16string_view errorMessage() const;

 private:
  void resetState();

  void* connection_ = nullptr;  // stored, never called
  IMemoryManager* memory_ = nullptr;
  Link link_;
  PortState port_;
  CommandTexts texts_;
  DriverSettings settings_;
  std::array<DeviceSlot, kDeviceSlots> slots_;
};

}  // namespace ostrel
