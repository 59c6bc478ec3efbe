// The settings form the equipment library shows for this driver. Its Port
// values name this system's serial devices (device/serial_port.h,
// serialDeviceForFormIndex): COM1 to COM9 on Windows, /dev/ttyS0 to
// /dev/ttyS8 and the USB adapters on Linux.
#include <string_view>

namespace ostrel::driver {

extern const std::u16string_view kSettingsXml;
const std::u16string_view kSettingsXml =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?> "
    u"<Settings>  "
    u"  <Page Caption=\"Параметры\">  "
    u"<Group Caption=\"Параметры подключения\">  "
    u"<Parameter Name=\"Model\" Caption=\"Модель\" TypeValue=\"Number\">"
    u"<ChoiceList>"
    u"<Item Value=\"0\">Datecs FP-T88</Item>"
    u"<Item Value=\"1\">Datecs FP-T260</Item>"
    u"<Item Value=\"2\">Datecs FP-320</Item>"
    u"<Item Value=\"3\">Datecs CMP-10M</Item>"
    u"<Item Value=\"4\">Datecs FP-101 SMART</Item>"
    u"</ChoiceList>"
    u"</Parameter>"
    u"<Parameter Name=\"Port\" Caption=\"Порт\" TypeValue=\"Number\" DefaultValue=\"0\">"
    u"<ChoiceList>"
#if defined(_WIN32)
    u"<Item Value=\"0\">COM1</Item>"
    u"<Item Value=\"1\">COM2</Item>"
    u"<Item Value=\"2\">COM3</Item>"
    u"<Item Value=\"3\">COM4</Item>"
    u"<Item Value=\"4\">COM5</Item>"
    u"<Item Value=\"5\">COM6</Item>"
    u"<Item Value=\"6\">COM7</Item>"
    u"<Item Value=\"7\">COM8</Item>"
    u"<Item Value=\"8\">COM9</Item>"
#else
    u"<Item Value=\"0\">/dev/ttyS0</Item>"
    u"<Item Value=\"1\">/dev/ttyS1</Item>"
    u"<Item Value=\"2\">/dev/ttyS2</Item>"
    u"<Item Value=\"3\">/dev/ttyS3</Item>"
    u"<Item Value=\"4\">/dev/ttyS4</Item>"
    u"<Item Value=\"5\">/dev/ttyS5</Item>"
    u"<Item Value=\"6\">/dev/ttyS6</Item>"
    u"<Item Value=\"7\">/dev/ttyS7</Item>"
    u"<Item Value=\"8\">/dev/ttyS8</Item>"
    u"<Item Value=\"9\">/dev/ttyUSB0</Item>"
    u"<Item Value=\"10\">/dev/ttyUSB1</Item>"
    u"<Item Value=\"11\">/dev/ttyUSB2</Item>"
    u"<Item Value=\"12\">/dev/ttyUSB3</Item>"
    u"<Item Value=\"13\">/dev/ttyACM0</Item>"
    u"<Item Value=\"14\">/dev/ttyACM1</Item>"
    u"<Item Value=\"15\">/dev/ttyACM2</Item>"
    u"<Item Value=\"16\">/dev/ttyACM3</Item>"
#endif
    u"</ChoiceList>"
    u"</Parameter>"
    u"<Parameter Name=\"Speed\" Caption=\"Скорость\" TypeValue=\"Number\" DefaultValue=\"3\">"
    u"<ChoiceList>"
    u"<Item Value=\"0\">1200</Item>"
    u"<Item Value=\"1\">2400</Item>"
    u"<Item Value=\"2\">4800</Item>"
    u"<Item Value=\"3\">9600</Item>"
    u"<Item Value=\"4\">19200</Item>"
    u"<Item Value=\"5\">38400</Item>"
    u"<Item Value=\"6\">57600</Item>"
    u"<Item Value=\"7\">115200</Item>"
    u"</ChoiceList>"
    u"</Parameter>"
    u"</Group>"
    u"</Page>"
    u"</Settings>";

}  // namespace ostrel::driver
