// Why the driver could not use a port, and how GetLastError says it.
#include "command/text.h"
#include "driver/driver.h"

namespace ostrel::driver {
namespace {

struct ProblemText {
  PortProblem problem;
  const char16_t* before;  // the text before the port's name
  const char16_t* after;   // the text after it
  const char16_t* code;
};

constexpr ProblemText kTexts[] = {
    {PortProblem::Missing, u"Порт ", u" не найден", u"01FF"},
    {PortProblem::Busy, u"Порт ", u" занят другой программой", u"02FF"},
    {PortProblem::Denied, u"Нет доступа к порту ", u"", u"03FF"},
    {PortProblem::NotConfigured, u"Не удалось настроить порт ", u"", u"04FF"},
    {PortProblem::NotOpened, u"Не удалось открыть порт ", u"", u"05FF"},
    {PortProblem::NotClosed, u"Не удалось закрыть порт ", u"", u"06FF"},
    {PortProblem::NoIdentity, u"Регистратор на порту ", u" не сообщил заводской номер", u"07FF"},
};

}  // namespace

PortProblem DiagnoseOpen(const std::string& device, uint8_t openCode) {
  if (device.empty()) return PortProblem::Missing;
  if (openCode != kOpenFailed) return PortProblem::NotConfigured;
  switch (probeOpenFailure(device)) {
    case OpenFailure::Missing: return PortProblem::Missing;
    case OpenFailure::Busy: return PortProblem::Busy;
    case OpenFailure::Denied: return PortProblem::Denied;
    case OpenFailure::Other: break;
  }
  return PortProblem::NotOpened;
}

std::u16string PortLabel(const DriverSettings& settings, const std::string& device) {
  if (device.empty()) return settings.port;
  constexpr std::string_view kWindowsPrefix = "\\\\.\\";
  std::string_view name = device;
  if (name.substr(0, kWindowsPrefix.size()) == kWindowsPrefix) name.remove_prefix(kWindowsPrefix.size());
  return WideFromAnsi(name);
}

std::u16string PortFailureText(PortProblem problem, std::u16string_view label) {
  if (label.empty()) return u"Порт не задан: 00FF";
  for (const ProblemText& t : kTexts) {
    if (t.problem == problem) return std::u16string(t.before).append(label).append(t.after).append(u": ").append(t.code);
  }
  return std::u16string();
}

}  // namespace ostrel::driver
