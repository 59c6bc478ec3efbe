// The datecs-sim program as a person runs it: slave path on the first line,
// options on the command line, tape to a file, clean exit on SIGTERM, the
// faults it injected on standard error.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/simulator.h"
#include "sim/tests/pty_line.h"

using datecs_sim_test::PtyLine;

namespace {

// datecs-sim started with `args` (and --link, --tape of its own), until stop().
class Program {
 public:
  explicit Program(const std::string& name, std::vector<std::string> args) {
    const std::string dir = ::testing::TempDir();
    link_ = dir + "datecs-sim-" + name + "-link";
    tape_ = dir + "datecs-sim-" + name + "-tape.txt";
    errors_ = dir + "datecs-sim-" + name + "-stderr.txt";
    std::remove(tape_.c_str());
    args.insert(args.begin(), {"datecs-sim", "--link", link_, "--tape", tape_});
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      std::freopen(errors_.c_str(), "w", stderr);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      execv(DATECS_SIM_PROGRAM, argv.data());
      _exit(127);
    }
    close(out[1]);
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') firstLine_.push_back(c);
    close(out[0]);
  }
  ~Program() { stop(); }

  const std::string& link() const { return link_; }
  const std::string& firstLine() const { return firstLine_; }

  // SIGTERM; the exit status (-1 when it did not exit by itself).
  int stop() {
    if (pid_ <= 0) return status_;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
  }

  std::vector<std::string> tape() const { return lines(tape_); }
  std::string errors() const {
    std::ifstream in(errors_);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

 private:
  static std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  std::string link_, tape_, errors_, firstLine_;
  pid_t pid_ = -1;
  int status_ = -1;
};

// The exit status of datecs-sim run with `args` alone.
int exitStatus(std::vector<std::string> args) {
  args.insert(args.begin(), "datecs-sim");
  pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stderr);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(DATECS_SIM_PROGRAM, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> comment(uint8_t seq, const std::string& text) {
  return datecs_sim::encodeRequest(seq, 97, "482915;" + text + ";");
}

}  // namespace

TEST(Program, ServesUntilTermWithOptionsFromTheCommandLine) {
  Program sim("program", {"--serial", "ZZ123456", "--error", "161:0107"});
  EXPECT_EQ(sim.firstLine().rfind("/dev/pts/", 0), 0u) << sim.firstLine();
  {
    PtyLine line(sim.link());
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(line.exchange(0x21, 76, "482915;").fields.at(0), "ZZ123456");
    EXPECT_EQ(line.exchange(0x22, 161, "482915;1;").code, "0107");
    EXPECT_EQ(line.exchange(0x23, 97, "482915;Hello, tape;").code, "0000");
  }
  EXPECT_EQ(sim.stop(), 0);
  struct stat st;
  EXPECT_NE(lstat(sim.link().c_str(), &st), 0);
  EXPECT_EQ(sim.tape(), std::vector<std::string>{"Hello, tape"});
}

// A lost answer: the comment is printed, nothing comes back, and the same
// frame sent again is not printed a second time.
TEST(Program, DropAnswerRunsTheRequestAndSendsNothing) {
  Program sim("drop-answer", {"--drop-answer", "100"});
  {
    PtyLine line(sim.link());
    ASSERT_TRUE(line.ok());
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(line.send(comment(0x30, "Once")));
      EXPECT_TRUE(line.readAnswer(300).empty()) << "try " << i;
    }
  }
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_EQ(sim.tape(), std::vector<std::string>{"Once"});
  EXPECT_NE(sim.errors().find("drop-answer 2,"), std::string::npos) << sim.errors();
  EXPECT_NE(sim.errors().find("repeats answered from memory 1"), std::string::npos) << sim.errors();
}

// Each line fault at 100 %: what arrives within 200 ms, and whether the
// comment was printed.
TEST(Program, LineFaultOptionsReachThePrinter) {
  enum Seen { Nothing, Nak, Answer };
  struct Case {
    std::vector<std::string> args;
    Seen seen;
    bool printed;
    const char* counted;
  };
  const Case cases[] = {
      {{"--drop-request", "100"}, Nothing, false, "drop-request 1,"},
      {{"--flip-request", "100%"}, Nak, false, "flip-request 1,"},
      {{"--nak", "100%"}, Nak, false, "nak 1,"},
      {{"--delay", "100%", "--delay-ms", "400"}, Nothing, true, "delay 1,"},
      {{"--delay-ms", "400", "--faults", "0", "--delay", "100%"}, Nothing, true, "delay 1,"},
      {{"--garbage", "100"}, Answer, true, "garbage 1,"},
      {{"--flip-answer", "100", "--seed", "9"}, Answer, true, "flip-answer 1,"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    Program sim("line-fault", c.args);
    {
      PtyLine line(sim.link());
      ASSERT_TRUE(line.ok());
      ASSERT_TRUE(line.send(comment(0x31, "Line")));
      const auto got = line.readAnswer(200);
      const bool nak = got.size() == 1 && got[0] == datecs_sim::kNak;
      const bool frame = std::find(got.begin(), got.end(), datecs_sim::kStart) != got.end();
      EXPECT_EQ(c.seen == Nothing, got.empty());
      EXPECT_EQ(c.seen == Nak, nak);
      EXPECT_EQ(c.seen == Answer, frame);
      if (c.args[0] == "--delay" || c.args[0] == "--delay-ms") {
        EXPECT_FALSE(line.readAnswer(400).empty());
      }
    }
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(sim.tape().size(), c.printed ? 1u : 0u);
    EXPECT_NE(sim.errors().find(c.counted), std::string::npos) << sim.errors();
  }
}

// Every fault at 20 %, and a host that recovers as the component does: the
// same frame again on a NAK, on an answer that is not whole and ours, and
// after 150 ms of quiet. Every comment is printed exactly once, in order.
TEST(Program, EveryFaultIsRecoveredByResendingTheSameFrame) {
  Program sim("faults", {"--faults", "20", "--seed", "3", "--delay-ms", "200"});
  std::vector<std::string> expected;
  {
    PtyLine line(sim.link());
    ASSERT_TRUE(line.ok());
    for (int i = 0; i < 12; ++i) {
      const uint8_t seq = static_cast<uint8_t>(0x20 + i);
      const std::string text = "Line " + std::to_string(i);
      expected.push_back(text);
      bool answered = false;
      for (int attempt = 0; attempt < 20 && !answered; ++attempt) {
        ASSERT_TRUE(line.send(comment(seq, text)));
        datecs_sim::Answer a;
        answered = datecs_sim::decodeAnswer(PtyLine::frameOf(line.readAnswer(150)), a) && a.checksumOk &&
                   a.lengthOk && a.seq == seq && a.command == 97 && a.code == "0000";
      }
      ASSERT_TRUE(answered) << text;
      // What a delayed answer or a stale frame left behind is not the next one's.
      while (!line.readSome(220).empty()) {
      }
    }
  }
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_EQ(sim.tape(), expected);
  EXPECT_EQ(sim.errors().find("repeats answered from memory 0"), std::string::npos) << sim.errors();
}

// The printer's memory primed: a frame with the remembered sequence byte is
// answered "0000" from memory and not carried out.
TEST(Program, RememberPrimesTheLastServedFrame) {
  for (const bool now : {false, true}) {
    SCOPED_TRACE(now ? "now" : "SEQ");
    std::time_t before = std::time(nullptr);
    Program sim("remember", {"--remember", now ? "now:97" : "80:97"});
    const uint8_t seq = now ? datecs_sim::clockSequenceByte(before) : 80;
    datecs_sim::Answer a;
    {
      PtyLine line(sim.link());
      ASSERT_TRUE(line.ok());
      ASSERT_TRUE(line.send(comment(seq, "From memory")));
      datecs_sim::decodeAnswer(PtyLine::frameOf(line.readAnswer(500)), a);
      const uint8_t next = seq == 0x7E ? 0x20 : static_cast<uint8_t>(seq + 1);
      EXPECT_EQ(line.exchange(next, 97, "482915;Carried out;").code, "0000");
    }
    EXPECT_EQ(sim.stop(), 0);
    // A second boundary between our clock and the program's: another byte.
    if (now && std::time(nullptr) != before) continue;
    EXPECT_EQ(a.seq, seq);
    EXPECT_EQ(a.command, 97);
    EXPECT_EQ(a.code, "0000");
    EXPECT_EQ(sim.tape(), std::vector<std::string>{"Carried out"});
  }
}

TEST(Program, RefusesBadFaultValues) {
  const std::vector<std::vector<std::string>> bad = {
      {"--drop-answer", "101"}, {"--faults", "x"},        {"--nak", "-1%"},     {"--delay-ms", "-5"},
      {"--seed", "y"},          {"--remember", "31"},     {"--remember", "127"}, {"--remember", "now:256"},
      {"--remember", "later"},  {"--stale"},
  };
  for (const auto& args : bad) EXPECT_EQ(exitStatus(args), 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
  EXPECT_EQ(exitStatus({"--help"}), 0);
}
