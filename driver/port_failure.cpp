// Why the driver could not use a port, and how GetLastError says it.
#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "command/text.h"
#include "driver/driver.h"

namespace ostrel::driver {
namespace {

#if defined(_WIN32)

// Asks the system again why the device does not open. A COM port that
// another program holds answers "access denied", so that means busy here.
PortProblem probeOpen(const std::string& device) {
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return PortProblem::NotOpened;
  }
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return PortProblem::Missing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return PortProblem::Busy;
    default:
      return PortProblem::NotOpened;
  }
}

#else

PortProblem fromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:  // a serial node with no hardware behind it
      return PortProblem::Missing;
    case EBUSY:
    case EWOULDBLOCK:
      return PortProblem::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortProblem::Denied;
    default:
      return PortProblem::NotOpened;
  }
}

// Asks the system again why the device does not open: the open's own error,
// or, when it opens now, whether another holder's lock is what kept it out.
// The probe takes no lock and changes no line setting.
PortProblem probeOpen(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fromErrno(errno);
  const bool locked = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked ? PortProblem::Busy : PortProblem::NotOpened;
}

#endif

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
  return probeOpen(device);
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
