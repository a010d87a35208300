// The channel against a pseudo-terminal pair: the test holds the master side and plays the
// phone; the channel opens the slave path; the test's thread is the main thread.
#include <gtest/gtest.h>

#ifdef _WIN32
// winsock2.h before windows.h, and tlhelp32.h after it, which it needs.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>
// clang-format on
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#endif
#include <time.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "link/KoComm.h"
#include "tests/link/LinkTestSupport.h"

using namespace std::chrono_literals;

namespace {

std::string ErrorOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EKoCommError& E) {
    return E.what();
  }
  return "(no error)";
}

// The threads of this process.
long ThreadCount() {
#ifdef _WIN32
  long Count = 0;
  HANDLE Snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 T{};
  T.dwSize = sizeof T;
  for (BOOL More = Thread32First(Snap, &T); More; More = Thread32Next(Snap, &T))
    if (T.th32OwnerProcessID == GetCurrentProcessId()) ++Count;
  CloseHandle(Snap);
  return Count;
#else
  return static_cast<long>(
      std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator{}));
#endif
}

// The descriptors (handles) this process holds, or -1 where the system does not tell.
long OpenDescriptors() {
#ifdef _WIN32
  DWORD Count = 0;
  return GetProcessHandleCount(GetCurrentProcess(), &Count) && Count > 0 ? static_cast<long>(Count) : -1;
#else
  return static_cast<long>(
      std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator{}));
#endif
}

double ProcessCpuSeconds() {
  timespec T{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
  return static_cast<double>(T.tv_sec) + static_cast<double>(T.tv_nsec) / 1e9;
}

// A channel set up as the program sets up its own, on the slave side of a fresh pty.
class KoCommPty : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // On Windows the phone's side of the line comes from tools/wine-link-tests.
    if (!std::getenv("PELMO_PTY_BRIDGE")) GTEST_SKIP() << "no phone line: PELMO_PTY_BRIDGE is not set";
#endif
    ASSERT_TRUE(Pty.Valid());
    Main = std::this_thread::get_id();
    Comm = std::make_unique<TKoComm>();
    SetUpAsTheProgram(*Comm, Pty, Loop);
    Comm->OnRxChar = [this](TKoComponent*, int Count) {
      EXPECT_EQ(std::this_thread::get_id(), Main);
      EXPECT_FALSE(InHandler) << "OnRxChar re-entered";
      InHandler = true;
      struct TLeave {
        bool& Flag;
        ~TLeave() { Flag = false; }
      } Leave{InHandler};
      Counts.push_back(Count);
      Received += Comm->ReceiveString();
      if (AfterRxChar) AfterRxChar();
    };
    Comm->OnClose = [this](TKoComponent*) { ++Closes; };
    Comm->OnError = [this](TKoComponent*, int Errors) {
      LineErrors |= Errors;
      if (Errors & KO_CE_IOE) ++GoneReports;
    };
  }

  // The messages of the exceptions that reach the owner, as the central error box would show them.
  void CollectExceptions(std::vector<std::string>& Shown) {
    Comm->OnException = [&Shown](TKoComponent*, std::exception_ptr E) {
      try {
        std::rethrow_exception(E);
      } catch (const std::exception& X) {
        Shown.push_back(X.what());
      }
    };
  }

  void TearDown() override {
    Comm.reset();
    // Works still queued for the destroyed channel must be harmless.
    Loop.RunFor(20ms);
  }

  TMainLoop Loop;  // outlives the channel
  TPty Pty;
  std::unique_ptr<TKoComm> Comm;
  std::thread::id Main;
  bool InHandler = false;
  std::vector<int> Counts;
  std::string Received;
  std::function<void()> AfterRxChar;
  int Closes = 0;
  int LineErrors = 0;
  int GoneReports = 0;
};

}  // namespace

TEST_F(KoCommPty, OpensAndClosesWithItsEvents) {
  int Opens = 0;
  Comm->OnOpen = [&](TKoComponent* Sender) {
    EXPECT_EQ(Sender, Comm.get());
    ++Opens;
  };
  Comm->OpenPort();
  EXPECT_TRUE(Comm->IsOpen());
  EXPECT_EQ(Opens, 1);
  EXPECT_EQ(Comm->EventMask(), 0x0281u);
  EXPECT_EQ(ErrorOf([&] { Comm->OpenPort(); }), "Can't perform this operation while port is open");
  Comm->ClosePort();
  EXPECT_FALSE(Comm->IsOpen());
  EXPECT_EQ(Closes, 1);
  Comm->ClosePort();  // closed already: no second OnClose
  EXPECT_EQ(Closes, 1);
  EXPECT_EQ(Comm->BytesWaiting(), 0);
  EXPECT_EQ(Comm->ReceiveString(), "");
}

TEST_F(KoCommPty, ClosedOnlyPropertiesRefuseEvenTheSameValueWhileOpen) {
  Comm->SetPortNum(3);
  Comm->OpenPort();
  const std::string Refused = "Can't perform this operation while port is open";
  TKoBuffers SameBuffers;
  SameBuffers.CopyFrom(Comm->Buffers());
  std::function<void()> Setters[] = {
      [&] { Comm->SetPortNum(3); },
      [&] { Comm->SetDeviceName(Comm->DeviceName()); },
      [&] { Comm->SetMonitorEvents(Comm->MonitorEvents()); },
      [&] { Comm->SetBuffers(SameBuffers); },
      [&] { Comm->SetDirectWrite(false); },
      [&] { Comm->SetUpdateDCB(true); },
  };
  for (auto& Set : Setters) EXPECT_EQ(ErrorOf(Set), Refused);

  // A size inside the buffers is stored, then refused; it counts from the next opening.
  EXPECT_EQ(ErrorOf([&] { Comm->Buffers().SetReadSize(2048); }), Refused);
  EXPECT_EQ(Comm->Buffers().ReadSize(), 2048);
  // The time-outs are plain values.
  Comm->Buffers().SetWriteTimeout(500);
  // Line settings may change at any time.
  Comm->SetBaudrate(br57600);
  Comm->FlowControl().SetXonXoffOut(true);
  EXPECT_TRUE(Comm->IsOpen());
}

#ifndef _WIN32
// Terminal settings and file permissions are Linux matters; the Windows cases follow below.
TEST_F(KoCommPty, LineSettingsReachTheDeviceAndAreRestoredAtClose) {
  // A second descriptor on the same terminal shows its settings.
  int Probe = ::open(Pty.SlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(Probe, 0);
  termios Before{};
  ASSERT_EQ(tcgetattr(Probe, &Before), 0);

  Comm->OpenPort();
  termios T{};
  ASSERT_EQ(tcgetattr(Probe, &T), 0);
  EXPECT_EQ(cfgetospeed(&T), static_cast<speed_t>(B115200));
  EXPECT_EQ(T.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(T.c_cflag & PARENB, 0u);
  EXPECT_EQ(T.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(T.c_oflag & OPOST, 0u);
  EXPECT_EQ(T.c_iflag & (IXON | IXOFF | ICRNL), 0u);

  // Changed while open: applied at once.
  Comm->SetBaudrate(br9600);
  Comm->FlowControl().SetXonXoffIn(true);
  Comm->EventChars().SetXoffChar(0x13 + 1);
  ASSERT_EQ(tcgetattr(Probe, &T), 0);
  EXPECT_EQ(cfgetospeed(&T), static_cast<speed_t>(B9600));
  EXPECT_NE(T.c_iflag & IXOFF, 0u);
  EXPECT_EQ(T.c_cc[VSTOP], 0x14);

  // Rates without a termios constant are set as free rates.
  Comm->SetUserBaudrate(250000);
  Comm->SetBaudrate(br56000);

  // A pseudo-terminal carries eight data bits without parity and says so.
  EXPECT_EQ(ErrorOf([&] { Comm->SetParity(paEven); }), "Error writing dcb (22), Invalid argument");
  EXPECT_TRUE(Comm->IsOpen());

  Comm->ClosePort();
  ASSERT_EQ(tcgetattr(Probe, &T), 0);
  EXPECT_EQ(T.c_lflag & ICANON, Before.c_lflag & ICANON);
  ::close(Probe);
}

TEST_F(KoCommPty, OpeningErrorsLeaveThePortClosed) {
  // A second opener of the same device is refused.
  TKoComm Second;
  Second.SetDeviceName(Pty.SlavePath);
  Comm->OpenPort();
  EXPECT_EQ(ErrorOf([&] { Second.OpenPort(); }),
            "Can't open specified device " + Pty.SlavePath + " (Error 16, Device or resource busy)");
  EXPECT_FALSE(Second.IsOpen());
  Comm->ClosePort();

  // A missing device, named by the environment for its COM name.
  setenv("PELMO_COM7", "/nonexistent/ttyQ7", 1);
  TKoComm Missing;
  Missing.SetPortNum(7);
  EXPECT_EQ(ErrorOf([&] { Missing.OpenPort(); }), "Specified device not found (/nonexistent/ttyQ7).");
  EXPECT_FALSE(Missing.IsOpen());
  unsetenv("PELMO_COM7");

  // Something that opens but is no terminal fails at the line settings and is closed again.
  char Dir[] = "/tmp/kocommXXXXXX";
  ASSERT_NE(mkdtemp(Dir), nullptr);
  std::string File = std::string(Dir) + "/plain";
  ::close(::open(File.c_str(), O_CREAT | O_WRONLY, 0600));
  TKoComm Plain;
  Plain.SetDeviceName(File);
  EXPECT_EQ(ErrorOf([&] { Plain.OpenPort(); }), "Error writing dcb (25), Inappropriate ioctl for device");
  EXPECT_FALSE(Plain.IsOpen());
  std::filesystem::remove_all(Dir);
}

TEST(KoCommOpen, PermissionRefused) {
  char Dir[] = "/tmp/kocommXXXXXX";
  ASSERT_NE(mkdtemp(Dir), nullptr);
  chmod(Dir, 0755);
  std::string File = std::string(Dir) + "/ttyLocked";
  ::close(::open(File.c_str(), O_CREAT | O_WRONLY, 0600));
  const std::string Expected = "Can't open specified device " + File + " (Error 13, Permission denied)";

  if (geteuid() != 0) {
    chmod(File.c_str(), 0);
    TKoComm C;
    C.SetDeviceName(File);
    EXPECT_EQ(ErrorOf([&] { C.OpenPort(); }), Expected);
  } else {
    // The superuser may open anything: try as an ordinary user in a child process.
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    pid_t Child = fork();
    ASSERT_GE(Child, 0);
    if (Child == 0) {
      ::close(Pipe[0]);
      std::string Text = "(setuid refused)";
      if (setgid(65534) == 0 && setuid(65534) == 0) {
        TKoComm C;
        C.SetDeviceName(File);
        Text = ErrorOf([&] { C.OpenPort(); });
      }
      ssize_t Ignored = ::write(Pipe[1], Text.data(), Text.size());
      (void)Ignored;
      _exit(0);
    }
    ::close(Pipe[1]);
    std::string Text;
    char Buf[256];
    ssize_t N;
    while ((N = ::read(Pipe[0], Buf, sizeof Buf)) > 0) Text.append(Buf, static_cast<size_t>(N));
    ::close(Pipe[0]);
    waitpid(Child, nullptr, 0);
    EXPECT_EQ(Text, Expected);
  }
  std::filesystem::remove_all(Dir);
}

#endif

TEST_F(KoCommPty, BytesArrivingBeforeTheHandlerRunsGoToOneRxChar) {
  Comm->OpenPort();
  ASSERT_TRUE(Pty.Write("AT"));
  // The event for "AT" waits for the main thread; more bytes come meanwhile.
  ASSERT_TRUE(Loop.WaitPending(1, 5s));
  ASSERT_TRUE(Pty.Write("+CGSN\r\n"));
  auto Deadline = std::chrono::steady_clock::now() + 5s;
  while (Comm->BytesWaiting() < 9 && std::chrono::steady_clock::now() < Deadline) std::this_thread::sleep_for(1ms);

  ASSERT_TRUE(Loop.RunUntil([&] { return !Counts.empty(); }, 5s));
  EXPECT_EQ(Counts, std::vector<int>{9});
  EXPECT_EQ(Received, "AT+CGSN\r\n");
  // The event for the later bytes finds them read already: no second OnRxChar.
  Loop.RunFor(200ms);
  EXPECT_EQ(Counts.size(), 1u);

  // The next arrival is reported again.
  ASSERT_TRUE(Pty.Write("OK"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Counts.size() == 2; }, 5s));
  EXPECT_EQ(Received, "AT+CGSN\r\nOK");
}

TEST_F(KoCommPty, EveryByteOfALongReplyIsReceivedInOrder) {
  Comm->OpenPort();
  std::string Reply;
  for (int I = 0; I < 3000; ++I) Reply += static_cast<char>(I * 7 % 256);
  std::thread Phone([&] {
    for (std::size_t At = 0; At < Reply.size(); At += 100) Pty.Write(Reply.substr(At, 100));
  });
  EXPECT_TRUE(Loop.RunUntil([&] { return Received.size() >= Reply.size(); }, 10s));
  Phone.join();
  EXPECT_EQ(Received, Reply);
}

// While text keeps coming it is gathered; a line that falls quiet hands over what it sent at once
// instead of at the end of the gathering interval (100 ms at 115200 baud here). Pieces 30 ms apart
// therefore come one by one, while pieces 1 ms apart are gathered into a few hand-overs. The
// stream runs at 9600 baud, where the line counts as quiet after 16 ms rather than 2: a writer
// that a busy machine holds up for a few milliseconds still sends a stream.
TEST_F(KoCommPty, TextIsHandedOverWhenTheLineFallsQuiet) {
  struct TCase {
    const char* Name;
    TKoBaudrate Rate;
    int Pieces;
    std::chrono::milliseconds Gap;
    std::size_t MostHandOvers;
  } Cases[] = {
      {"quiet between the pieces", br115200, 6, 30ms, 6},
      {"a stream", br9600, 400, 1ms, 100},
  };
  const auto PieceText = [](int I) { return "+CMGL: " + std::to_string(I % 10) + "\r\n"; };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    std::string Sent;
    for (int I = 0; I < C.Pieces; ++I) Sent += PieceText(I);
    // A main thread held up for longer than a gap merges two pieces however the channel hands
    // them over: a busy machine gets a second and a third try.
    for (int Try = 1; Try <= 3; ++Try) {
      Counts.clear();
      Received.clear();
      Comm->SetBaudrate(C.Rate);
      Comm->OpenPort();
      std::thread Phone([&] {
        for (int I = 0; I < C.Pieces; ++I) {
          Pty.Write(PieceText(I));
          std::this_thread::sleep_for(C.Gap);
        }
      });
      EXPECT_TRUE(Loop.RunUntil([&] { return Received.size() >= Sent.size(); }, 20s));
      Phone.join();
      Comm->ClosePort();
      ASSERT_EQ(Received, Sent);
      const bool OneByOne = Counts == std::vector<int>(static_cast<std::size_t>(C.Pieces), 10);
      if (Counts.size() <= C.MostHandOvers && (C.Gap == 1ms || OneByOne)) break;
      if (Try == 3) {
        EXPECT_LE(Counts.size(), C.MostHandOvers);
        EXPECT_TRUE(C.Gap == 1ms || OneByOne) << "gathered " << Counts.size() << " hand-overs";
      }
    }
  }
}

TEST_F(KoCommPty, SendStringFillsTheQueueUpToWriteSize) {
  Comm->Buffers().SetWriteTimeout(300);
  Comm->OpenPort();
  const std::string Exact(1024, 'x');
  EXPECT_TRUE(Comm->SendString(Exact));
  EXPECT_EQ(Pty.Read(1024, 5s), Exact);

  const std::string TooLong(1025, 'y');
  auto Start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { Comm->SendString(TooLong); }), "Output buffer is full. Please check comm status.");
  EXPECT_GE(std::chrono::steady_clock::now() - Start, 300ms);
  EXPECT_TRUE(Comm->IsOpen());

  Comm->ClosePort();
  EXPECT_FALSE(Comm->SendString("AT\r\n"));
  EXPECT_EQ(Comm->SendBytes("AT", 2), 0);
}

TEST_F(KoCommPty, APartialWriteIsFinishedWithoutAnotherSendString) {
  // More than the terminal takes while nobody reads the other side.
  Comm->Buffers().SetWriteSize(256 * 1024);
  Comm->OpenPort();
  std::string Big;
  for (int I = 0; I < 200 * 1024; ++I) Big += static_cast<char>('A' + I % 26);
  EXPECT_TRUE(Comm->SendString(Big));
  std::this_thread::sleep_for(100ms);  // let the worker run into the full terminal
  EXPECT_EQ(Pty.Read(Big.size(), 20s), Big);
}

TEST_F(KoCommPty, TxEmptyIsReportedOnTheMainThreadWhenTheQueueDrains) {
  int TxEmpty = 0;
  Comm->OnTxEmpty = [&](TKoComponent*) {
    EXPECT_EQ(std::this_thread::get_id(), Main);
    ++TxEmpty;
  };
  Comm->OpenPort();
  EXPECT_TRUE(Comm->SendString("AT+CPMS?\r\n"));
  EXPECT_TRUE(Loop.RunUntil([&] { return TxEmpty == 1; }, 5s));
  EXPECT_EQ(Pty.Read(10, 5s), "AT+CPMS?\r\n");
}

TEST_F(KoCommPty, ClosingWhileAHandOverIsQueued) {
  Comm->OpenPort();
  ASSERT_TRUE(Pty.Write("RING"));
  ASSERT_TRUE(Loop.WaitPending(1, 5s));
  // The event thread waits for the main thread, which closes instead of running it.
  Comm->ClosePort();
  EXPECT_EQ(Closes, 1);
  // The queued work runs late and finds the port closed.
  Loop.RunFor(50ms);
  EXPECT_TRUE(Counts.empty());

  // The channel opens again on the same device and works.
  Comm->OpenPort();
  ASSERT_TRUE(Pty.Write("OK"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Received.find("OK") != std::string::npos; }, 5s));
}

TEST_F(KoCommPty, DestroyingWhileAHandOverIsQueued) {
  auto Before = ThreadCount();
  Comm->OpenPort();
#ifdef _WIN32
  EXPECT_GE(ThreadCount(), Before + 2);  // Wine runs a pending line-event wait on a thread
#else
  EXPECT_EQ(ThreadCount(), Before + 2);
#endif
  ASSERT_TRUE(Pty.Write("RING"));
  ASSERT_TRUE(Loop.WaitPending(1, 5s));
  Comm.reset();
#ifdef _WIN32
  // Wine's own thread of the cancelled line-event wait ends at its next look at the line.
  for (int I = 0; I < 100 && ThreadCount() > Before; ++I) std::this_thread::sleep_for(20ms);
#endif
  EXPECT_EQ(ThreadCount(), Before);  // no worker outlives the channel
  EXPECT_EQ(Closes, 0);              // no OnClose while being destroyed
  Loop.RunFor(50ms);                 // the stale work touches nothing
  EXPECT_TRUE(Counts.empty());
}

TEST_F(KoCommPty, AHandlerMayCloseThePort) {
  AfterRxChar = [&] { Comm->ClosePort(); };
  Comm->OpenPort();
  ASSERT_TRUE(Pty.Write("+CMS ERROR: 500\r\n"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Closes == 1; }, 5s));
  EXPECT_FALSE(Comm->IsOpen());
  EXPECT_EQ(Received, "+CMS ERROR: 500\r\n");
}

TEST_F(KoCommPty, HandlerExceptionsGoToTheOwnerAndTheChannelCarriesOn) {
  std::vector<std::string> Shown;
  CollectExceptions(Shown);
  Comm->OnOpen = [](TKoComponent*) { throw std::runtime_error("open handler failed"); };
  AfterRxChar = [] { throw std::runtime_error("reply handler failed"); };
  Comm->OpenPort();
  EXPECT_TRUE(Comm->IsOpen());
  ASSERT_TRUE(Pty.Write("X"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Shown.size() == 2; }, 5s));
  EXPECT_EQ(Shown[0], "open handler failed");
  EXPECT_EQ(Shown[1], "reply handler failed");
  AfterRxChar = nullptr;
  ASSERT_TRUE(Pty.Write("Y"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Received == "XY"; }, 5s));

  // Also from OnClose when the channel closes a device that went away.
  Comm->OnClose = [](TKoComponent*) { throw std::runtime_error("close handler failed"); };
  Pty.CloseMaster();
  ASSERT_TRUE(Loop.RunUntil([&] { return Shown.size() == 3; }, 5s));
  EXPECT_EQ(Shown[2], "close handler failed");
  EXPECT_FALSE(Comm->IsOpen());
}

TEST_F(KoCommPty, ADeviceThatGoesAwayClosesThePortAndNothingSpins) {
  Comm->OpenPort();
  std::atomic<bool> Stop{false};
  std::thread Phone([&] {
    while (!Stop) {
      Pty.Write("+CMGL: 1,1,,23\r\n");
      std::this_thread::sleep_for(2ms);
    }
  });
  ASSERT_TRUE(Loop.RunUntil([&] { return Received.size() > 100; }, 5s));
  EXPECT_TRUE(Comm->SendString("AT+CMGL=4\r\n"));
  Stop = true;
  Phone.join();
  Pty.CloseMaster();                                                    // the cable is pulled
  for (int I = 0; I < 20; ++I) Comm->SendString(std::string(50, 'z'));  // writes now fail

  ASSERT_TRUE(Loop.RunUntil([&] { return Closes == 1; }, 5s));
  EXPECT_FALSE(Comm->IsOpen());
  // Both the failed writes and the hang-up tell of it: the owner hears it once.
  EXPECT_EQ(GoneReports, 1);

  double Before = ProcessCpuSeconds();
  Loop.RunFor(2s);
  EXPECT_LT(ProcessCpuSeconds() - Before, 0.2);
  EXPECT_EQ(Closes, 1);
  EXPECT_FALSE(Comm->SendString("AT\r\n"));
}

TEST_F(KoCommPty, AnOwnerThatReopensWhenTheDeviceGoesAwayKeepsTheNewOpening) {
  TPty Again;
  ASSERT_TRUE(Again.Valid());
  // The owner moves to another device as soon as it hears that the line failed.
  Comm->OnError = [&](TKoComponent*, int Errors) {
    LineErrors |= Errors;
    Comm->ClosePort();
    Comm->SetDeviceName(Again.SlavePath);
    Comm->OpenPort();
  };
  Comm->OpenPort();
  Pty.CloseMaster();
  ASSERT_TRUE(Loop.RunUntil([&] { return Closes >= 1; }, 5s));
  Loop.RunFor(100ms);
  EXPECT_EQ(Closes, 1);
  ASSERT_TRUE(Comm->IsOpen());
  ASSERT_TRUE(Again.Write("OK"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Received == "OK"; }, 5s));
}

TEST_F(KoCommPty, ADeviceThatGoesAwayWhileTheMainThreadIsBusy) {
  std::vector<std::string> Shown;
  CollectExceptions(Shown);
  Comm->OpenPort();
  // An arrival waits for the main thread when the cable is pulled.
  ASSERT_TRUE(Pty.Write("+CMGL: 1"));
  ASSERT_TRUE(Loop.WaitPending(1, 5s));
  Pty.CloseMaster();
  // Nobody runs the hand-over for a while: the workers wait without spinning.
  double Before = ProcessCpuSeconds();
  std::this_thread::sleep_for(1s);
  EXPECT_LT(ProcessCpuSeconds() - Before, 0.1);
  ASSERT_TRUE(Loop.RunUntil([&] { return Closes == 1; }, 5s));
  // Reported once, as a line error: the late arrival's status query is no failure of its own.
  EXPECT_NE(LineErrors & KO_CE_IOE, 0);
  EXPECT_EQ(Shown, std::vector<std::string>{});
}

TEST_F(KoCommPty, WithoutAPosterHandlersRunOnTheWorker) {
  Comm->PostToMainThread = nullptr;
  std::mutex Lock;
  std::condition_variable Cv;
  std::string Got;
  bool Closed = false;
  Comm->OnRxChar = [&](TKoComponent*, int) {
    std::string S = Comm->ReceiveString();
    std::lock_guard<std::mutex> L(Lock);
    Got += S;
    Cv.notify_all();
  };
  Comm->OnClose = [&](TKoComponent*) {
    std::lock_guard<std::mutex> L(Lock);
    Closed = true;
    Cv.notify_all();
  };
  Comm->OpenPort();
  ASSERT_TRUE(Pty.Write("OK"));
  {
    std::unique_lock<std::mutex> L(Lock);
    ASSERT_TRUE(Cv.wait_for(L, 5s, [&] { return Got == "OK"; }));
  }
  // The hang-up closes the port from the event thread itself.
  Pty.CloseMaster();
  std::unique_lock<std::mutex> L(Lock);
  ASSERT_TRUE(Cv.wait_for(L, 5s, [&] { return Closed; }));
}

TEST_F(KoCommPty, DirectWriteWritesOnTheCallersThread) {
  Comm->SetDirectWrite(true);
  Comm->OpenPort();
  EXPECT_TRUE(Comm->SendString("AT+CMGD=3\r\n"));
  EXPECT_EQ(Pty.Read(11, 5s), "AT+CMGD=3\r\n");
  // Receiving still works through the event thread.
  ASSERT_TRUE(Pty.Write("\r\nOK\r\n"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Received == "\r\nOK\r\n"; }, 5s));
}

TEST_F(KoCommPty, OpensAgainAfterADeviceWentAwayAndLeaksNoDescriptors) {
  long Before = OpenDescriptors();
  for (int I = 0; I < 3; ++I) {
    Comm->OpenPort();
    Comm->ClosePort();
  }
  if (Before >= 0) {
    EXPECT_EQ(OpenDescriptors(), Before);
  }

  Comm->OpenPort();
  Pty.CloseMaster();
  ASSERT_TRUE(Loop.RunUntil([&] { return Closes == 4; }, 5s));
#ifndef _WIN32
  EXPECT_EQ(OpenDescriptors(), Before - 1);  // less the master side
#else
  if (Before >= 0) {
    EXPECT_LE(OpenDescriptors(), Before);
  }
#endif

  // The adapter comes back under another name: the next reading opens it.
  TPty Again;
  ASSERT_TRUE(Again.Valid());
  Comm->SetDeviceName(Again.SlavePath);
  Comm->OpenPort();
  ASSERT_TRUE(Again.Write("\r\nOK\r\n"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Received == "\r\nOK\r\n"; }, 5s));
}

#ifdef _WIN32
// Windows: ports by number, also above COM9, the driver's own refusals, the device control
// block and the modem-status events.
#include "link/KoOS.h"
#include "link/KoOSWin32.h"
#include "link/KoUtils.h"

TEST_F(KoCommPty, PortsAboveNineOpenByTheirNumber) {
  // The phone's port is COM20 or above.
  const int Number = std::atoi(Pty.SlavePath.c_str() + 3);
  ASSERT_GE(Number, 10);
  Comm->SetDeviceName("COM%d");
  Comm->SetPortNum(Number);
  EXPECT_EQ(Comm->DevicePath(), Pty.SlavePath);
  Comm->OpenPort();
  EXPECT_TRUE(Comm->SendString("AT\r\n"));
  EXPECT_EQ(Pty.Read(4, 5s), "AT\r\n");
  ASSERT_TRUE(Pty.Write("\r\nOK\r\n"));
  ASSERT_TRUE(Loop.RunUntil([&] { return Received == "\r\nOK\r\n"; }, 5s));

  // The system lists the port.
  bool Listed = false;
  for (const TKoPortEntry& P : TKoComm::ListPorts())
    Listed = Listed || (P.PortNum == Number && P.Caption == "COM " + std::to_string(Number));
  EXPECT_TRUE(Listed);
}

TEST_F(KoCommPty, OpeningErrorsOnWindows) {
  TKoComm Missing;
  Missing.SetPortNum(250);
  EXPECT_EQ(ErrorOf([&] { Missing.OpenPort(); }), "Specified device not found (COM250).");
  EXPECT_FALSE(Missing.IsOpen());

  // Windows opens a port once (no sharing): a second opener hears "access denied". Wine lets
  // the second opening through.
  Comm->OpenPort();
  TKoComm Second;
  Second.SetDeviceName(Pty.SlavePath);
  std::string Error = ErrorOf([&] { Second.OpenPort(); });
  if (Second.IsOpen()) {
    Second.ClosePort();
  } else {
    EXPECT_EQ(Error, "Can't open specified device " + Pty.SlavePath + " (Error 5, " +
                         KoSysErrorText(ERROR_ACCESS_DENIED) + ")");
  }
  EXPECT_TRUE(Comm->IsOpen());
}

TEST_F(KoCommPty, LineSettingsReachTheDriver) {
  TKoHandle Device = KoOSOpenDevice(Pty.SlavePath);
  ASSERT_NE(Device, KO_INVALID_HANDLE);
  HANDLE Handle = reinterpret_cast<HANDLE>(Device);
  TKoComm Settings;
  Settings.SetBaudrate(br115200);
  Settings.EventChars().SetXonChar(0x11);
  Settings.EventChars().SetXoffChar(0x14);
  ASSERT_TRUE(KoOSSetLineSettings(Device, Settings.BuildLineSettings()));
  DCB D{};
  D.DCBlength = sizeof D;
  ASSERT_TRUE(GetCommState(Handle, &D));
  EXPECT_EQ(D.BaudRate, 115200u);
  EXPECT_EQ(D.ByteSize, 8);
  EXPECT_EQ(D.Parity, NOPARITY);
  EXPECT_EQ(D.StopBits, ONESTOPBIT);
  EXPECT_EQ(D.XoffChar, 0x14);

  Settings.SetBaudrate(br9600);
  ASSERT_TRUE(KoOSSetLineSettings(Device, Settings.BuildLineSettings()));
  ASSERT_TRUE(GetCommState(Handle, &D));
  EXPECT_EQ(D.BaudRate, 9600u);
  // The queues and the time-outs are taken too.
  EXPECT_TRUE(KoOSSetupQueues(Device, 1024, 1024));
  EXPECT_TRUE(KoOSSetTimeouts(Device));
  COMMTIMEOUTS T{};
  ASSERT_TRUE(GetCommTimeouts(Handle, &T));
  EXPECT_EQ(T.ReadIntervalTimeout, MAXDWORD);
  EXPECT_EQ(T.ReadTotalTimeoutConstant, 0u);
  EXPECT_EQ(T.WriteTotalTimeoutConstant, 0u);
  KoOSCloseDevice(Device);
}

// Under Wine the modem lines of the test's pseudo-terminals are what the file that
// PELMO_MODEM_LINES names says (see tests/link/wine/PtyModemLines.c).
TEST_F(KoCommPty, ModemStatusEventsReachTheirHandlersInOrder) {
  const char* Lines = std::getenv("PELMO_MODEM_LINES");
  if (!Lines) GTEST_SKIP() << "no way to change the modem lines here";
  std::string Path = std::string("Z:") + Lines;  // the Linux path through Wine's drive Z:
  for (char& C : Path)
    if (C == '/') C = '\\';
  // Written aside and moved into place, so that the lines are never read half-written.
  auto SetLines = [&](const char* Text) {
    const std::string Temp = Path + ".new";
    HANDLE F = CreateFileA(Temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(F, INVALID_HANDLE_VALUE);
    DWORD N;
    WriteFile(F, Text, static_cast<DWORD>(std::strlen(Text)), &N, nullptr);
    CloseHandle(F);
    ASSERT_TRUE(MoveFileExA(Temp.c_str(), Path.c_str(), MOVEFILE_REPLACE_EXISTING));
  };
  SetLines("CTS DSR CAR");
  std::vector<std::string> Seen;
  auto Note = [&](const char* Name) {
    return [&Seen, Name, this](TKoComponent*) {
      EXPECT_EQ(std::this_thread::get_id(), Main);
      Seen.push_back(Name);
    };
  };
  Comm->OnCts = Note("CTS");
  Comm->OnDsr = Note("DSR");
  Comm->OnRlsd = Note("RLSD");
  Comm->OnRing = Note("RING");
  Comm->SetMonitorEvents({ceCts, ceDsr, ceRlsd, ceRing, ceRxChar, ceError});
  Comm->OpenPort();
  std::this_thread::sleep_for(200ms);  // the first wait takes the lines as they are
  struct TStep {
    const char* Lines;
    const char* Event;
  } Steps[] = {{"DSR CAR", "CTS"}, {"CAR", "DSR"}, {"", "RLSD"}, {"RNG", "RING"}};
  std::vector<std::string> Expected;
  for (const TStep& Step : Steps) {
    SetLines(Step.Lines);
    Expected.push_back(Step.Event);
    EXPECT_TRUE(Loop.RunUntil([&] { return Seen.size() >= Expected.size(); }, 5s)) << Step.Event;
    std::this_thread::sleep_for(100ms);  // the next wait starts from the new state
    Loop.RunReady();
  }
  EXPECT_EQ(Seen, Expected);
  // Bytes still arrive with the modem-status events watched.
  ASSERT_TRUE(Pty.Write("OK"));
  EXPECT_TRUE(Loop.RunUntil([&] { return Received == "OK"; }, 5s));
  Comm->ClosePort();
  DeleteFileA(Path.c_str());
}

TEST(KoWin32, DeviceControlBlockOfTheSettingsRecord) {
  TKoComm C;
  TKoLineSettings S = C.BuildLineSettings();
  DCB D = KoWin32BuildDCB(S);
  // The defaults: 1200 baud, 8N1, binary, nothing else on.
  EXPECT_EQ(D.DCBlength, sizeof(DCB));
  EXPECT_EQ(D.BaudRate, 1200u);
  EXPECT_TRUE(D.fBinary);
  EXPECT_FALSE(D.fParity || D.fOutxCtsFlow || D.fOutxDsrFlow || D.fDsrSensitivity || D.fTXContinueOnXoff || D.fOutX ||
               D.fInX || D.fErrorChar || D.fNull || D.fAbortOnError);
  EXPECT_EQ(D.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
  EXPECT_EQ(D.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
  EXPECT_EQ(D.XonLim, 1024);
  EXPECT_EQ(D.XoffLim, 1024);
  EXPECT_EQ(D.XonChar, 17);
  EXPECT_EQ(D.XoffChar, 19);

  // Every field that Linux has no counterpart of reaches the block.
  C.SetUserBaudrate(250000);
  C.SetParity(paMark);
  C.SetParityCheck(true);
  C.SetDatabits(db7);
  C.SetStopbits(sb15);
  C.SetOptions({coErrorChar, coNullStrip});
  C.FlowControl().SetOutCtsFlow(true);
  C.FlowControl().SetOutDsrFlow(true);
  C.FlowControl().SetControlDtr(dtrHandshake);
  C.FlowControl().SetControlRts(rtsToggle);
  C.FlowControl().SetXonXoffOut(true);
  C.FlowControl().SetXonXoffIn(true);
  C.FlowControl().SetDsrSensitivity(true);
  C.FlowControl().SetTxContinueOnXoff(true);
  C.Buffers().SetReadSize(1024);
  C.EventChars().SetErrorChar('?');
  C.EventChars().SetEofChar(0x1A);
  C.EventChars().SetEventChar('\n');
  D = KoWin32BuildDCB(C.BuildLineSettings());
  EXPECT_EQ(D.BaudRate, 250000u);
  EXPECT_EQ(D.Parity, MARKPARITY);
  EXPECT_TRUE(D.fParity);
  EXPECT_EQ(D.ByteSize, 7);
  EXPECT_EQ(D.StopBits, ONE5STOPBITS);
  EXPECT_TRUE(D.fErrorChar && D.fNull && D.fOutxCtsFlow && D.fOutxDsrFlow && D.fOutX && D.fInX && D.fDsrSensitivity &&
              D.fTXContinueOnXoff);
  EXPECT_FALSE(D.fAbortOnError);
  EXPECT_EQ(D.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
  EXPECT_EQ(D.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
  EXPECT_EQ(D.XonLim, 256);
  EXPECT_EQ(D.XoffLim, 256);
  EXPECT_EQ(D.ErrorChar, '?');
  EXPECT_EQ(D.EofChar, 0x1A);
  EXPECT_EQ(D.EvtChar, '\n');

  struct TCase {
    TKoParity Parity;
    BYTE Value;
  } Parities[] = {
      {paNone, NOPARITY}, {paOdd, ODDPARITY}, {paEven, EVENPARITY}, {paMark, MARKPARITY}, {paSpace, SPACEPARITY}};
  for (const TCase& T : Parities) {
    C.SetParity(T.Parity);
    EXPECT_EQ(KoWin32BuildDCB(C.BuildLineSettings()).Parity, T.Value) << T.Parity;
  }
  C.SetStopbits(sb2);
  EXPECT_EQ(KoWin32BuildDCB(C.BuildLineSettings()).StopBits, TWOSTOPBITS);
  C.FlowControl().SetControlDtr(dtrEnabled);
  C.FlowControl().SetControlRts(rtsHandshake);
  D = KoWin32BuildDCB(C.BuildLineSettings());
  EXPECT_EQ(D.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
  EXPECT_EQ(D.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
}

TEST(KoWin32, ErrorTextsComeFromTheSystem) {
  for (int Code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER, ERROR_OPERATION_ABORTED}) {
    std::string Text = KoSysErrorText(Code);
    ASSERT_FALSE(Text.empty()) << Code;
    // Without the full stop and line break that the system's texts end in.
    const char Last = Text.back();
    EXPECT_TRUE(Last != '.' && Last != ' ' && Last != '\r' && Last != '\n') << Text;
    EXPECT_EQ(KoFormatError("Error writing dcb (%d), %s", Code),
              "Error writing dcb (" + std::to_string(Code) + "), " + Text);
  }
  EXPECT_EQ(KoResolveDevice("COM4"), "COM4");  // no environment of its own
}
#endif
