// The serial port on POSIX systems: termios for the line settings, poll()
// for every wait, so no call spins while the line is quiet.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "device/serial_port.h"

namespace ostrel {

namespace {

// How long a write may make no progress before the port counts as failed. A
// line without flow control drains on its own, so only a dead device stalls.
constexpr int kWriteStallMs = 60000;

uint64_t nowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

// The termios code of a rate in bits per second; false for a rate termios
// has no code for.
bool speedCode(uint32_t baud, speed_t* code) {
  struct Rate {
    uint32_t baud;
    speed_t code;
  };
  static const Rate kRates[] = {
      {50, B50},           {75, B75},           {110, B110},         {134, B134},       {150, B150},
      {200, B200},         {300, B300},         {600, B600},         {1200, B1200},     {1800, B1800},
      {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},   {38400, B38400},
#ifdef B57600
      {57600, B57600},
#endif
#ifdef B115200
      {115200, B115200},
#endif
#ifdef B230400
      {230400, B230400},
#endif
#ifdef B460800
      {460800, B460800},
#endif
#ifdef B500000
      {500000, B500000},
#endif
#ifdef B576000
      {576000, B576000},
#endif
#ifdef B921600
      {921600, B921600},
#endif
#ifdef B1000000
      {1000000, B1000000},
#endif
#ifdef B1152000
      {1152000, B1152000},
#endif
#ifdef B1500000
      {1500000, B1500000},
#endif
#ifdef B2000000
      {2000000, B2000000},
#endif
  };
  for (const Rate& rate : kRates) {
    if (rate.baud == baud) {
      *code = rate.code;
      return true;
    }
  }
  return false;
}

// "Not supported by this device" answers of an ioctl: such a step counts as
// done (a pseudo-terminal has no modem lines).
bool unsupported(int error) { return error == ENOTTY || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// Raw 8N1, receiver on, modem status ignored, no flow control of any kind,
// at `baud` when termios accepts that rate. The outcome is not checked: a
// refused setting leaves the previous one and the open goes on.
void applyLineSettings(int fd, uint32_t baud) {
  termios previous{};
  if (tcgetattr(fd, &previous) != 0) return;
  termios tio = previous;
  cfmakeraw(&tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK | IGNBRK | BRKINT);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CRTSCTS
  tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;

  speed_t code;
  const bool speedSet = speedCode(baud, &code) && cfsetspeed(&tio, code) == 0;
  if (tcsetattr(fd, TCSANOW, &tio) == 0 || !speedSet) return;
  // The driver refused the rate: keep the previous one, apply the rest.
  cfsetispeed(&tio, cfgetispeed(&previous));
  cfsetospeed(&tio, cfgetospeed(&previous));
  tcsetattr(fd, TCSANOW, &tio);
}

// DTR and RTS held off. A device without modem lines has nothing to drop,
// and the step has no failure code of its own, so its outcome is not used.
void dropModemLines(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);
}

bool clearBreak(int fd) { return ioctl(fd, TIOCCBRK) == 0 || unsupported(errno); }

// Reads return at once with what is waiting; the waits are poll()'s.
bool setNoTimeouts(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

class PosixSerialPort final : public SerialPort {
 public:
  ~PosixSerialPort() override { close(); }

  uint8_t open(const std::string& device, uint32_t baud) override {
    if (fd_ >= 0) return kOpenAlreadyOpen;
    if (device.empty()) return kOpenFailed;

    // Non-blocking, so a line that wants carrier does not hold up the open
    // and no read or write ever blocks outside poll().
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kOpenFailed;

    // Exclusive: TIOCEXCL keeps other programs out (but not root), the lock
    // keeps out everyone who takes it too, root and other instances of this
    // component included.
    ioctl(fd, TIOCEXCL);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      release(fd);
      return kOpenFailed;
    }

    applyLineSettings(fd, baud);
    dropModemLines(fd);
    if (tcflush(fd, TCIOFLUSH) != 0) return fail(fd, kOpenPurge);
    if (!clearBreak(fd)) return fail(fd, kOpenBreak);
    if (!setNoTimeouts(fd)) return fail(fd, kOpenTimeouts);
    // Queue sizes: the kernel's tty buffers have no size to set.

    fd_ = fd;
    return kOpenOk;
  }

  bool isOpen() const override { return fd_ >= 0; }

  bool close() override {
    if (fd_ < 0) return false;
    const int fd = fd_;
    fd_ = -1;
    return release(fd);
  }

  bool writeAll(const uint8_t* data, size_t size) override {
    if (fd_ < 0) return false;
    size_t done = 0;
    while (done < size) {
      const ssize_t wrote = ::write(fd_, data + done, size - done);
      if (wrote > 0) {
        done += static_cast<size_t>(wrote);
        continue;
      }
      if (wrote == 0) return false;  // takes nothing and reports no error: will not
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      if (!waitWritable()) return false;
    }
    return true;
  }

  int readSome(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override {
    if (fd_ < 0) return -1;
    if (buffer == nullptr || capacity == 0) return 0;
    if (capacity > INT_MAX) capacity = INT_MAX;
    const uint64_t deadline = nowMs() + timeoutMs;
    for (;;) {
      const uint64_t now = nowMs();
      const uint64_t left = deadline > now ? deadline - now : 0;
      pollfd p{fd_, POLLIN, 0};
      const int ready = poll(&p, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
      if (ready < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (ready == 0) {
        if (left == 0) return 0;
        continue;
      }
      if (p.revents & POLLIN) {
        // Bytes still waiting are delivered even when the line hung up
        // behind them.
        const ssize_t got = ::read(fd_, buffer, capacity);
        if (got > 0) return static_cast<int>(got);
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        return -1;  // end of file (hang-up) or an I/O error
      }
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return -1;
    }
  }

 private:
  static bool release(int fd) {
    ioctl(fd, TIOCNXCL);  // so a later open by a non-root user is not refused
    flock(fd, LOCK_UN);
    return ::close(fd) == 0;
  }

  static uint8_t fail(int fd, uint8_t code) {
    release(fd);
    return code;
  }

  bool waitWritable() {
    const uint64_t deadline = nowMs() + kWriteStallMs;
    for (;;) {
      const uint64_t now = nowMs();
      if (now >= deadline) return false;
      pollfd p{fd_, POLLOUT, 0};
      const int ready = poll(&p, 1, static_cast<int>(deadline - now));
      if (ready < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (ready == 0) continue;
      if (p.revents & POLLOUT) return true;
      if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return false;
    }
  }

  int fd_ = -1;
};

}  // namespace

std::unique_ptr<SerialPort> createSystemSerialPort() { return std::make_unique<PosixSerialPort>(); }

static OpenFailure fromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
    case EIO:  // a serial node with no hardware behind it
      return OpenFailure::Missing;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenFailure::Busy;
    case EACCES:
    case EPERM:
    case EROFS:
      return OpenFailure::Denied;
    default:
      return OpenFailure::Other;
  }
}

// Asks the system again why the device does not open: the open's own error,
// or, when it opens now, whether another holder's lock is what kept it out.
// The probe takes no lock and changes no line setting.
OpenFailure probeOpenFailure(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fromErrno(errno);
  const bool locked = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return locked ? OpenFailure::Busy : OpenFailure::Other;
}

}  // namespace ostrel
