// The settings form the equipment library shows for this driver.
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
    u"<Item Value=\"0\">COM1</Item>"
    u"<Item Value=\"1\">COM2</Item>"
    u"<Item Value=\"2\">COM3</Item>"
    u"<Item Value=\"3\">COM4</Item>"
    u"<Item Value=\"4\">COM5</Item>"
    u"<Item Value=\"5\">COM6</Item>"
    u"<Item Value=\"6\">COM7</Item>"
    u"<Item Value=\"7\">COM8</Item>"
    u"<Item Value=\"8\">COM9</Item>"
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
