// The AT command exchange of the main window against the simulated phone, through a real
// pseudo-terminal and the real serial channel.
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/support/FormsFixture.h"

namespace {

class TExchange : public TFormsTest {
 protected:
  void Restart(TPhoneOptions Options, TSimCard Sim = DemoSim()) {
    frmMain->KoComm->ClosePort();
    if (Phone) Phone->Stop();
    StartPhone(std::move(Sim), std::move(Options));
    OpenPort();
  }

  // The reply as the phone gives it in one piece, echo on.
  std::string WholeReply(const std::string& Command) {
    Restart({});
    EXPECT_TRUE(frmMain->SendCommand(Command));
    return frmMain->ReplyBuffer;
  }
};

bool StartsWith(const std::string& Text, const std::string& Prefix) { return Text.rfind(Prefix, 0) == 0; }

TEST_F(TExchange, InformationTextWithAndWithoutEcho) {
  for (bool echo : {true, false}) {
    TPhoneOptions options;
    options.Echo = echo;
    Restart(options);
    EXPECT_TRUE(frmMain->SendCommand("AT+CPMS?\r\n")) << "echo " << echo;
    EXPECT_TRUE(StartsWith(frmMain->ReplyBuffer, "+CPMS: ")) << frmMain->ReplyBuffer;
    EXPECT_EQ(frmMain->ReplyBuffer.find("\r\n"), frmMain->ReplyBuffer.size() - 2) << "one line and its CR LF";
  }
  // The log shows the whole dialogue.
  const QString log = frmMain->memLog->toPlainText();
  EXPECT_TRUE(log.contains(QStringLiteral("AT+CPMS?")));
  EXPECT_TRUE(log.contains(QStringLiteral("+CPMS: ")));
  EXPECT_TRUE(log.contains(QStringLiteral("OK")));
}

TEST_F(TExchange, EchoAndOKAloneLeaveOK) {
  Restart({});
  EXPECT_TRUE(frmMain->SendCommand("AT+CMGD=13\r\n"));
  EXPECT_EQ(frmMain->ReplyBuffer, "OK");
}

TEST_F(TExchange, PromptEndsTheCommandAtOnce) {
  Restart({});
  EXPECT_TRUE(frmMain->SendCommand("AT+CMGS=23\r"));
  EXPECT_TRUE(StartsWith(frmMain->ReplyBuffer, "AT+CMGS=23\r"));
  EXPECT_NE(frmMain->ReplyBuffer.find("\r\n> "), std::string::npos);
}

TEST_F(TExchange, ErrorRepliesAreShownAndFail) {
  TPhoneOptions options;
  options.Fail = {{"AT+ZA", "ERROR"},           {"AT+ZB", "+CME ERROR: 10"},  {"AT+ZC", "+CME ERROR: 99"},
                  {"AT+ZD", "+CMS ERROR: 999"}, {"AT+ZE", "+CMS ERROR: 330"}, {"AT+ZF", "+CMS ERROR: 321"}};
  Restart(options);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"AT+ZA\r\n", "ERROR: Invalid command."},
      {"AT+ZB\r\n", "+CME ERROR 10: SIM not inserted."},
      {"AT+ZC\r\n", "+CME ERROR 99: ."},
      {"AT+ZD\r\n", "+CMS ERROR 999: Unspecified error cause."},
      {"AT+ZE\r\n", ""},  // no service centre address: no box
      {"AT+ZF\r\n", "+CMS ERROR 321: Invalid memory index."}};
  for (const auto& [command, box] : cases) {
    Boxes.Shown.clear();
    if (!box.empty()) Boxes.Answer();
    EXPECT_FALSE(frmMain->SendCommand(command)) << command;
    EXPECT_EQ(Boxes.Texts(), box.empty() ? std::vector<std::string>{} : std::vector<std::string>{box}) << command;
    EXPECT_TRUE(frmMain->ReplyComplete);
    EXPECT_FALSE(frmMain->TimedOut);
  }
}

// Closing the program while a command waits ends the wait as a failure, without a box and
// without spinning until the phone answers.
TEST_F(TExchange, QuittingDuringAWaitEndsTheCommand) {
  TPhoneOptions options;
  options.Silent = true;
  Restart(options);
  frmMain->Timer->setInterval(60000);
  QTimer::singleShot(200, qApp, [] { QCoreApplication::exit(0); });
  EXPECT_FALSE(frmMain->SendCommand("AT+CGSN\r\n"));
  EXPECT_TRUE(frmMain->TimedOut);
  EXPECT_FALSE(frmMain->Timer->isActive());
  EXPECT_TRUE(Boxes.Texts().empty());
  // Let the application leave its quitting state for the tests that follow.
  QTimer::singleShot(0, qApp, &QCoreApplication::quit);
  QCoreApplication::exec();
}

TEST_F(TExchange, NoAnswerEndsByTheTimeOut) {
  TPhoneOptions options;
  options.Silent = true;
  Restart(options);
  Boxes.Answer();
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(frmMain->SendCommand("AT+CGSN\r\n"));
  EXPECT_GE(clock.elapsed(), TimeOutMs);
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"ERROR: No answer from phone (timeout)."});
  EXPECT_TRUE(frmMain->TimedOut);
  EXPECT_FALSE(frmMain->Timer->isActive());
}

// The flags change only when the time-out box closes, so a reply that arrives while it is open
// does not turn the failure into a success.
TEST_F(TExchange, ReplyCompletingWhileTheTimeOutBoxIsOpenStillFails) {
  TPhoneOptions options;
  options.DelayMs = TimeOutMs + 400;
  Restart(options);
  bool completedWhileOpen = false;
  Boxes.Answer(TBoxButton::OK, [&](const TBoxRequest&) {
    completedWhileOpen = QTest::qWaitFor([] { return frmMain->ReplyComplete; }, 3000);
  });
  EXPECT_FALSE(frmMain->SendCommand("AT+CPMS?\r\n"));
  EXPECT_TRUE(completedWhileOpen);
  EXPECT_TRUE(frmMain->TimedOut);
  EXPECT_FALSE(frmMain->ReplyOK);
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"ERROR: No answer from phone (timeout)."});
}

// Every arrival gives the phone the whole interval again: a slow reply succeeds, a reply that
// stops half-way ends by the time-out instead of waiting for ever.
TEST_F(TExchange, EachArrivalRestartsTheTimeOut) {
  constexpr int interval = 1000;
  frmMain->Timer->setInterval(interval);
  TPhoneOptions slow;
  slow.Chunk = 16;
  slow.GapMs = interval / 2;
  Restart(slow);
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(frmMain->SendCommand("AT+CPMS?\r\n"));
  EXPECT_GT(clock.elapsed(), interval) << "the reply took longer than one interval";

  TPhoneOptions broken;
  broken.Fail = {{"AT+CPMS", "+CPMS: \"SM\",3,30"}};  // the information line, then nothing more
  Restart(broken);
  Boxes.Answer();
  EXPECT_FALSE(frmMain->SendCommand("AT+CPMS?\r\n"));
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"ERROR: No answer from phone (timeout)."});
}

// However the line splits the reply into arrivals, the command ends the same way.
TEST_F(TExchange, SplitRepliesGiveTheSameResult) {
  const std::string whole = WholeReply("AT+CPMS?\r\n");
  for (int chunk = 1; chunk <= 5; ++chunk) {
    TPhoneOptions options;
    options.Chunk = chunk;
    options.GapMs = 2;
    Restart(options);
    EXPECT_TRUE(frmMain->SendCommand("AT+CPMS?\r\n")) << "chunk " << chunk;
    EXPECT_EQ(frmMain->ReplyBuffer, whole) << "chunk " << chunk;
  }
}

// The listing's headers move the progress window, also when a header is split between two
// arrivals and when an unsolicited code comes in the middle of the listing.
TEST_F(TExchange, ListingHeadersMoveTheProgressWindow) {
  const TSimCard sim = DemoSim();
  int listed = 0;
  for (const auto& [location, message] : sim.Messages)
    if (!message.Hidden) ++listed;
  ASSERT_GT(listed, 3);
  const std::string whole = WholeReply("AT+CMGL=4\r\n");

  for (int chunk : {0, 7, 13}) {
    TPhoneOptions options;
    options.Chunk = chunk;
    options.GapMs = chunk ? 1 : 0;
    options.Unsolicited = {"+CMTI: \"SM\",14"};
    Restart(options, sim);
    frmMain->MessagesUsed = sim.MessagesUsed();
    frmMain->ListingCount = 0;
    frmProgress->ProgressBar->setValue(0);
    EXPECT_TRUE(frmMain->SendCommand("AT+CMGL=4\r\n"));
    EXPECT_EQ(frmMain->ReplyBuffer, whole) << "chunk " << chunk;
    EXPECT_EQ(frmMain->ListingCount, listed) << "chunk " << chunk;
    const int step = static_cast<int>(std::nearbyint(100.0 / sim.MessagesUsed()));
    EXPECT_EQ(frmProgress->ProgressBar->value(), std::min(100, listed * step));
    EXPECT_EQ(frmProgress->lblProgress->text(),
              QStringLiteral("%1 of %2 messages.").arg(listed).arg(sim.MessagesUsed()));
    EXPECT_TRUE(frmMain->memLog->toPlainText().contains(QStringLiteral("+CMTI: \"SM\",14")))
        << "the log keeps what the reply leaves out";
  }
}

TEST_F(TExchange, SecondCommandWhileOneWaitsIsRefused) {
  const std::string whole = WholeReply("AT+CPMS?\r\n");
  TPhoneOptions options;
  options.DelayMs = 200;
  Restart(options);
  std::optional<bool> second;
  QTimer::singleShot(50, frmMain, [&] {
    EXPECT_TRUE(frmMain->CommandWaiting());
    second = frmMain->SendCommand("AT+CGSN\r\n");
  });
  EXPECT_TRUE(frmMain->SendCommand("AT+CPMS?\r\n"));
  ASSERT_TRUE(second.has_value());
  EXPECT_FALSE(*second);
  EXPECT_EQ(frmMain->ReplyBuffer, whole) << "the waiting command kept its reply";
  EXPECT_FALSE(frmMain->memLog->toPlainText().contains(QStringLiteral("AT+CGSN"))) << "nothing was written";
}

// The channel's event thread hands each arrival to the main thread and waits there until the
// handler has run: the handler runs on the main thread and no further hand-over starts while it
// is busy, however fast the phone keeps sending.
TEST_F(TExchange, ArrivalsAreHandledOnTheMainThreadOneAtATime) {
  TPhoneOptions options;
  options.Chunk = 3;
  options.GapMs = 1;
  StartPhone(DemoSim(), options);
  auto* comm = frmMain->KoComm.get();
  std::atomic<int> posted{0};
  const TKoPostProc post = comm->PostToMainThread;
  comm->PostToMainThread = [&](std::function<void()> Work) {
    ++posted;
    post(std::move(Work));
  };
  const auto mainThread = std::this_thread::get_id();
  int calls = 0;
  bool offMainThread = false;
  bool postedWhileBusy = false;
  comm->OnRxChar = [&](TKoComponent* Sender, int Count) {
    ++calls;
    offMainThread = offMainThread || std::this_thread::get_id() != mainThread;
    const int before = posted.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    postedWhileBusy = postedWhileBusy || posted.load() != before;
    frmMain->KoCommRxChar(Sender, Count);
  };
  OpenPort();
  EXPECT_TRUE(frmMain->SendCommand("AT+CMGL=4\r\n"));
  EXPECT_GT(calls, 3);
  EXPECT_FALSE(offMainThread);
  EXPECT_FALSE(postedWhileBusy);
}

}  // namespace

namespace {

TEST_F(TExchange, ExitClosesAnOpenPort) {
  Restart({});
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
  QTest::mouseClick(frmMain->btnExit, Qt::LeftButton);
  EXPECT_FALSE(frmMain->KoComm->IsOpen());
  EXPECT_FALSE(frmMain->isVisible());
  EXPECT_TRUE(Boxes.Shown.empty());
}

}  // namespace
