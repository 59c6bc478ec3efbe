#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "device/clock.h"
#include "device/frame.h"
#include "device/link.h"
#include "device/serial_port.h"

namespace ostrel {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

long long msSince(steady_clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// A pseudo-terminal pair: the test plays the printer on the master side,
// the backend opens the slave by its path.
class PtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slavePath_ = ptsname(master_);
  }
  void TearDown() override { closeMaster(); }

  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  // What the printer side receives within `ms`.
  Bytes masterRead(size_t want, int ms = 1000) {
    Bytes out;
    const auto start = steady_clock::now();
    while (out.size() < want && msSince(start) < ms) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      uint8_t buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

  void masterWrite(const Bytes& bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

  termios slaveSettings() {
    termios t{};
    EXPECT_EQ(tcgetattr(master_, &t), 0);  // a master reports its slave's settings
    return t;
  }

  int master_ = -1;
  std::string slavePath_;
  std::unique_ptr<SerialPort> port_ = createSystemSerialPort();
};

TEST_F(PtyTest, OpenAppliesTheLineSettings) {
  ASSERT_EQ(port_->open(slavePath_, 115200), kOpenOk);
  EXPECT_TRUE(port_->isOpen());
  const termios t = slaveSettings();
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  EXPECT_EQ(cfgetospeed(&t), speed_t(B115200));
  EXPECT_EQ(cfgetispeed(&t), speed_t(B115200));
}

TEST_F(PtyTest, RefusedRateKeepsThePreviousOneAndOpens) {
  termios t = slaveSettings();
  cfsetspeed(&t, B4800);
  ASSERT_EQ(tcsetattr(master_, TCSANOW, &t), 0);
  ASSERT_EQ(port_->open(slavePath_, 12345), kOpenOk);
  t = slaveSettings();
  EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
  EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
}

TEST_F(PtyTest, OpenIsExclusiveAndCloseReleases) {
  ASSERT_EQ(port_->open(slavePath_, 9600), kOpenOk);
  EXPECT_EQ(port_->open(slavePath_, 9600), kOpenAlreadyOpen);
  auto other = createSystemSerialPort();
  EXPECT_EQ(other->open(slavePath_, 9600), kOpenFailed);  // refused even to root
  EXPECT_FALSE(other->isOpen());
  EXPECT_TRUE(port_->close());
  EXPECT_FALSE(port_->isOpen());
  EXPECT_FALSE(port_->close());
  EXPECT_EQ(other->open(slavePath_, 9600), kOpenOk);
}

TEST_F(PtyTest, MissingDeviceFails) {
  EXPECT_EQ(port_->open("/dev/no-such-serial-device", 9600), kOpenFailed);
  EXPECT_EQ(port_->open("", 9600), kOpenFailed);
  EXPECT_FALSE(port_->isOpen());
}

TEST_F(PtyTest, PortThatIsNotOpenFailsAtOnce) {
  uint8_t buf[4] = {1, 2, 3, 4};
  EXPECT_FALSE(port_->writeAll(buf, sizeof buf));
  const auto start = steady_clock::now();
  EXPECT_EQ(port_->readSome(buf, sizeof buf, 5000), -1);
  EXPECT_LT(msSince(start), 100);
}

TEST_F(PtyTest, BytesGoBothWays) {
  ASSERT_EQ(port_->open(slavePath_, 9600), kOpenOk);
  // Every byte value passes unchanged: no newline or flow-control processing.
  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = uint8_t(i);
  ASSERT_TRUE(port_->writeAll(all.data(), all.size()));
  EXPECT_EQ(masterRead(all.size()), all);

  const Bytes answer = {0x16, 0x01, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x04, 0x7F, 0x00, 0xFF};
  masterWrite(answer);
  Bytes got;
  uint8_t buf[64];
  while (got.size() < answer.size()) {
    const int n = port_->readSome(buf, sizeof buf, 1000);
    ASSERT_GT(n, 0);
    got.insert(got.end(), buf, buf + n);
  }
  EXPECT_EQ(got, answer);
}

TEST_F(PtyTest, SilentReadWaitsWithoutSpinning) {
  ASSERT_EQ(port_->open(slavePath_, 9600), kOpenOk);
  uint8_t buf[16];
  const double cpu = threadCpuMs();
  const auto start = steady_clock::now();
  EXPECT_EQ(port_->readSome(buf, sizeof buf, 300), 0);
  const long long waited = msSince(start);
  EXPECT_GE(waited, 290);
  EXPECT_LT(waited, 1000);
  EXPECT_LT(threadCpuMs() - cpu, 20.0);
}

TEST_F(PtyTest, ReadWakesWhenBytesArrive) {
  ASSERT_EQ(port_->open(slavePath_, 9600), kOpenOk);
  std::thread printer([this] {
    std::this_thread::sleep_for(milliseconds(150));
    masterWrite({0x16});
  });
  uint8_t buf[16];
  const auto start = steady_clock::now();
  EXPECT_EQ(port_->readSome(buf, sizeof buf, 5000), 1);
  EXPECT_LT(msSince(start), 1000);
  printer.join();
}

TEST_F(PtyTest, HangUpEndsReadsAndWritesPromptly) {
  ASSERT_EQ(port_->open(slavePath_, 9600), kOpenOk);
  closeMaster();
  uint8_t buf[16];
  const auto start = steady_clock::now();
  EXPECT_EQ(port_->readSome(buf, sizeof buf, 5000), -1);
  EXPECT_LT(msSince(start), 500);
  EXPECT_FALSE(port_->writeAll(buf, sizeof buf));
}

// A whole exchange over the pair while the printer takes its time: the
// waiting thread stays idle.
TEST_F(PtyTest, ExchangeWhilePrinterIsSlowUsesAlmostNoCpu) {
  ASSERT_EQ(port_->open(slavePath_, 9600), kOpenOk);
  const Timings timings{2000, 0, 0, 1000};
  auto link = std::make_unique<Link>(systemClock(), timings);
  link->reset();
  link->advanceSequence();
  std::thread printer([this] {
    const Bytes request = masterRead(10);
    if (request.size() != 10) return;
    // The answer to the request's sequence and command, with its checksum.
    Bytes answer = {0x01, 0x00, request[2], request[3], '0', '0', '0', '0', ';', '4', '2', ';',
                    0x04, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x05};
    answer[1] = static_cast<uint8_t>(answer.size() - 1 + 0x20);
    unsigned sum = 0;
    for (size_t i = 1; i < answer.size(); ++i) sum += answer[i];
    for (int shift = 12; shift >= 0; shift -= 4) answer.push_back(static_cast<uint8_t>(0x30 + ((sum >> shift) & 0x0F)));
    answer.push_back(0x03);
    masterWrite({0x16});
    std::this_thread::sleep_for(milliseconds(200));
    Bytes first = {0x16};
    first.insert(first.end(), answer.begin(), answer.begin() + 12);
    masterWrite(first);
    std::this_thread::sleep_for(milliseconds(200));
    masterWrite(Bytes(answer.begin() + 12, answer.end()));
  });
  const double cpu = threadCpuMs();
  const auto start = steady_clock::now();
  EXPECT_TRUE(link->exchange(port_.get(), 0x80, ""));
  const long long took = msSince(start);
  printer.join();
  EXPECT_FALSE(link->answer().timedOut);
  EXPECT_EQ(link->answer().frameStart, 2);
  EXPECT_STREQ(link->answer().fields[0], "42");
  EXPECT_GE(took, 390);
  EXPECT_LT(took, 1500);
  EXPECT_LT(threadCpuMs() - cpu, 20.0);
}

TEST(SerialNames, PortNumbersAndSettings) {
  const std::pair<int, const char*> numbers[] = {{1, "/dev/ttyS0"}, {4, "/dev/ttyS3"}, {0, ""}, {-2, ""}};
  for (const auto& [n, device] : numbers) EXPECT_EQ(serialDeviceForNumber(n), device) << n;

  const std::pair<const char*, const char*> settings[] = {
      {"COM1", "/dev/ttyS0"},
      {"COM12", "/dev/ttyS11"},
      {"COM0", ""},
      {"COM", ""},
      {"com1", ""},
      {"COM1x", ""},
      {"COM99999999999", ""},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/serial/by-id/usb-x-if00", "/dev/serial/by-id/usb-x-if00"},
      {"ttyUSB0", ""},
      {"", ""},
  };
  for (const auto& [setting, device] : settings) EXPECT_EQ(serialDeviceForSetting(setting), device) << setting;
}

}  // namespace
}  // namespace ostrel
