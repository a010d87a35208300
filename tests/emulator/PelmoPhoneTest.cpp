// The program pelmo-phone: options, SIM file errors, the link, signals and --save.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/emulator/PtyClient.h"

extern char** environ;

namespace {

struct TRun {
  pid_t Pid = -1;
  int Out = -1;  // the program's standard output
  int Err = -1;
};

TRun Spawn(std::vector<std::string> args) {
  args.insert(args.begin(), PELMO_PHONE_PROGRAM);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2], err[2];
  EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
  EXPECT_EQ(::pipe2(err, O_CLOEXEC), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  TRun run;
  EXPECT_EQ(posix_spawn(&run.Pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  run.Out = out[0];
  run.Err = err[0];
  return run;
}

// Reads a pipe until the end or until a line is complete (line true), with a time-out.
std::string ReadPipe(int fd, bool line, int timeoutMs = 10000) {
  std::string got;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!(line && got.find('\n') != std::string::npos)) {
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
    pollfd pfd{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&pfd, 1, left) <= 0) break;
    char buf[512];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
  }
  return got;
}

// The exit status, or -1 when it did not end within 10 s (it is then killed).
int Wait(TRun& run) {
  for (int i = 0; i < 500; ++i) {
    int status = 0;
    if (::waitpid(run.Pid, &status, WNOHANG) == run.Pid) {
      ::close(run.Out);
      ::close(run.Err);
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(run.Pid, SIGKILL);
  ::waitpid(run.Pid, nullptr, 0);
  return -1;
}

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "pelmo-" + std::to_string(::getpid()) + "-" + name;
}

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PelmoPhone, ServesUntilTerminatedThenSavesAndRemovesTheLink) {
  const std::string link = TempPath("link"), simFile = TempPath("sim");
  WriteFile(simFile,
            "serial 350077801234567\nsca +491710760000 145\nmemory 5\n"
            "sms 1 0 07913366003051F5040B913366304381F900005180719120348004D4F29C0E\n"
            "sms 2 1 07913366003051F5040B913366304381F900005180719120348004D4F29C0E\n");
  TRun run = Spawn({"--link", link, "--sim", simFile, "--save", "--echo", "0"});
  std::string device = ReadPipe(run.Out, true);
  ASSERT_FALSE(device.empty());
  device.pop_back();
  EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(target, device);
  {
    TPtyClient client(link);
    EXPECT_EQ(client.Command("AT+CMGD=1\r\n"), "\r\nOK\r\n");
  }
  ::kill(run.Pid, SIGTERM);
  EXPECT_EQ(Wait(run), 0);
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
  std::string saved = ReadFile(simFile);
  EXPECT_EQ(saved.find("sms 1 "), std::string::npos) << saved;
  EXPECT_NE(saved.find("sms 2 1 07913366"), std::string::npos) << saved;
  std::remove(simFile.c_str());
}

TEST(PelmoPhone, ServesTheDemoSimWithoutSimFile) {
  const std::string link = TempPath("demo-link");
  TRun run = Spawn({"--link", link});
  ASSERT_NE(ReadPipe(run.Out, true), "");
  {
    TPtyClient client(link);
    EXPECT_EQ(client.Command("AT+CPMS?\r\n"),
              "AT+CPMS?\r\n\r\n+CPMS: \"SM\",12,30,\"SM\",12,30,\"SM\",12,30\r\n\r\nOK\r\n");
  }
  ::kill(run.Pid, SIGINT);
  EXPECT_EQ(Wait(run), 0);
}

TEST(PelmoPhone, RefusesABadSimFileAndServesNothing) {
  const std::string link = TempPath("bad-link"), simFile = TempPath("bad-sim");
  WriteFile(simFile, "memory 5\n# fine so far\nsms 1 9 0011\n");
  TRun run = Spawn({"--link", link, "--sim", simFile});
  std::string err = ReadPipe(run.Err, false);
  EXPECT_EQ(Wait(run), 1);
  EXPECT_NE(err.find("line 3"), std::string::npos) << err;
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0);
  std::remove(simFile.c_str());
}

TEST(PelmoPhone, RefusesBadOptions) {
  const std::vector<std::vector<std::string>> cases = {
      {},                                              // no link
      {"--link", TempPath("x"), "--cmee", "3"},        // out of range
      {"--link", TempPath("x"), "--fail", "AT+CMGD"},  // no result text
      {"--link", TempPath("x"), "--save"},             // nothing to save to
      {"--link", TempPath("x"), "--bogus"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    TRun run = Spawn(args);
    std::string err = ReadPipe(run.Err, false);
    EXPECT_EQ(Wait(run), 2);
    EXPECT_NE(err.find("Usage: pelmo-phone"), std::string::npos) << err;
  }
}

// The manual page is made from --help, so it must answer on standard output and succeed, even
// without --link.
TEST(PelmoPhone, HelpAnswersOnStandardOutput) {
  for (const char* option : {"--help", "-h"}) {
    SCOPED_TRACE(option);
    TRun run = Spawn({option});
    std::string out = ReadPipe(run.Out, false);
    std::string err = ReadPipe(run.Err, false);
    EXPECT_EQ(Wait(run), 0);
    EXPECT_EQ(out.rfind("Usage: pelmo-phone --link PATH", 0), 0u) << out;
    EXPECT_NE(out.find("Exit status:"), std::string::npos) << out;
    EXPECT_EQ(err, "");
  }
}

TEST(PelmoPhone, FaultOptionsReachThePhone) {
  const std::string link = TempPath("fault-link");
  TRun run = Spawn({"--link", link, "--cmee=2", "--fail", "AT+CMGD=+CMS ERROR: 321", "--fail",
                    "AT+CSCS=\"UCS2\"=+CME ERROR: 4", "--mute", "AT+CSQ", "--unsolicited", "RING"});
  ASSERT_NE(ReadPipe(run.Out, true), "");
  {
    TPtyClient client(link);
    EXPECT_EQ(client.Command("AT+CMGD=1\r\n"), "AT+CMGD=1\r\n\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(client.Command("AT+CPBR=999\r\n"), "AT+CPBR=999\r\n\r\n+CME ERROR: invalid index\r\n");
    EXPECT_EQ(client.Command("AT+CSCS=\"UCS2\"\r\n"), "AT+CSCS=\"UCS2\"\r\n\r\n+CME ERROR: 4\r\n");
    EXPECT_EQ(client.Command("AT+CSCS=\"IRA\"\r\n"), "AT+CSCS=\"IRA\"\r\n\r\nOK\r\n");
    client.Send("AT+CSQ\r\n");
    EXPECT_EQ(client.ReadFor(200), "AT+CSQ\r\n");
    EXPECT_NE(client.Command("AT+CMGL=4\r\n").find("\r\n\r\nRING\r\n"), std::string::npos);
  }
  ::kill(run.Pid, SIGTERM);
  EXPECT_EQ(Wait(run), 0);
}

TEST(PelmoPhone, StoreOptionsReachThePhone) {
  const std::string link = TempPath("store-link");
  TRun run = Spawn({"--link", link, "--echo", "0", "--store-highest", "--no-numbers"});
  ASSERT_NE(ReadPipe(run.Out, true), "");
  {
    TPtyClient client(link);
    const std::string pdu = "0001000B919471563412F000000BC8329BFD06DDDF723619";
    EXPECT_EQ(client.Command("AT+CMGW=23\r"), "\r\n> ");
    EXPECT_EQ(client.Command(pdu + "\x1a"), "\r\n+CMGW:\r\n\r\nOK\r\n");
    // The demo SIM holds 30 locations; the highest was free.
    EXPECT_EQ(client.Command("AT+CMGR=30\r\n").rfind("\r\n+CMGR: 2,,23\r\n", 0), 0u);
  }
  ::kill(run.Pid, SIGTERM);
  EXPECT_EQ(Wait(run), 0);
}

}  // namespace

namespace {

TEST(PelmoPhone, PhonebookQuirkOptionsReachThePhone) {
  const std::string link = TempPath("pb-link");
  TRun run = Spawn({"--link", link, "--pb-used", "12", "--pb-total=0", "--pb-fail-at", "2"});
  ASSERT_NE(ReadPipe(run.Out, true), "");
  {
    TPtyClient client(link);
    EXPECT_EQ(client.Command("AT+CPBS?\r\n"), "AT+CPBS?\r\n\r\n+CPBS: \"SM\",12\r\n\r\nOK\r\n");
    EXPECT_EQ(client.Command("AT+CPBR=2\r\n"), "AT+CPBR=2\r\n\r\n+CME ERROR: 100\r\n");
    EXPECT_EQ(client.Command("AT+CPBR=1,3\r\n"), "AT+CPBR=1,3\r\n\r\n+CME ERROR: 100\r\n");
    EXPECT_EQ(client.Command("AT+CPBR=3\r\n").find("+CPBR: 3,\"+4915198765432\",145,"), 13u);
  }
  ::kill(run.Pid, SIGTERM);
  EXPECT_EQ(Wait(run), 0);
}

}  // namespace
