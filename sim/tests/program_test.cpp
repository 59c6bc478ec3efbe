// The datecs-sim program as a person runs it: slave path on the first line,
// options on the command line, tape to a file, clean exit on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sim/tests/pty_line.h"

using datecs_sim_test::PtyLine;

TEST(Program, ServesUntilTermWithOptionsFromTheCommandLine) {
  std::string dir = ::testing::TempDir();
  std::string link = dir + "datecs-sim-program-link";
  std::string tape = dir + "datecs-sim-program-tape.txt";
  std::remove(tape.c_str());
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(DATECS_SIM_PROGRAM, "datecs-sim", "--link", link.c_str(), "--tape", tape.c_str(), "--serial", "ZZ123456",
          "--error", "161:0107", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string first;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') first.push_back(c);
  EXPECT_EQ(first.rfind("/dev/pts/", 0), 0u) << first;

  {
    PtyLine line(link);
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(line.exchange(0x21, 76, "482915;").fields.at(0), "ZZ123456");
    EXPECT_EQ(line.exchange(0x22, 161, "482915;1;").code, "0107");
    EXPECT_EQ(line.exchange(0x23, 97, "482915;Hello, tape;").code, "0000");
  }
  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  close(out[0]);
  struct stat st;
  EXPECT_NE(lstat(link.c_str(), &st), 0);
  std::ifstream in(tape);
  std::string printed;
  std::getline(in, printed);
  EXPECT_EQ(printed, "Hello, tape");
}
