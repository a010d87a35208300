// The reading and the exchange against a phone that misbehaves on purpose, through the real window
// and the real channel: floods, endless text, garbled counts, huge error texts, malformed
// messages, a port that closed under a command. Each reading must end, by its time-out at the
// latest, with the controls back and memory that follows what arrived; and the next reading works.
#include <sys/resource.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "forms/CommLog.h"
#include "tests/support/FormsFixture.h"

namespace {

const std::string ReadDeliver = "0791198948004544040C9119894882006200007050307040042206CF35689E9603";
const std::string SentSubmit = "0791361907001003B17A0C913619397750320000AD11CD701E340FB3C3F23CC81D0689C3BF";
// ReadDeliver with an 'A' among the minutes of its time stamp.
const std::string BadTimeDeliver =
    "0791198948004544040C9119894882006200007050307040A40422"
    "06CF35689E9603";
const std::string Timeout = "ERROR: No answer from phone (timeout).";
const std::string Disconnected = "ERROR: Phone disconnected (COM 4).";

TSimCard ThreeMessages() {
  TSimCard Card;
  Card.SCA = "+491710760000";
  Card.Messages = {{1, Sms(1, ReadDeliver)}, {2, Sms(3, SentSubmit)}, {3, Sms(0, ReadDeliver)}};
  return Card;
}

// The peak resident memory of this process so far, in MB.
long PeakMB() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return Usage.ru_maxrss / 1024;
}

class HardeningTest : public TFormsTest {
 protected:
  void Read() { frmMain->btnReadClick(); }
  TStringGrid& Grid() { return *frmMain->sgMessages; }

  int Sent(const std::string& Command) {
    return static_cast<int>(frmMain->memLog->toPlainText().count(QString::fromStdString(Command)));
  }

  // The next reading on the same open port, the phone behaving again: no model check, all rows.
  void NextReadingWorks(int Rows) {
    frmMain->memLog->clear();
    Boxes.Shown.clear();
    Phone->SetOptions(NoEcho());
    Read();
    EXPECT_TRUE(Boxes.Shown.empty()) << (Boxes.Shown.empty() ? "" : Boxes.Shown[0].Text);
    EXPECT_EQ(Sent("AT+CGSN"), 0);
    EXPECT_EQ(Grid().RowCount(), Rows + 1);
    ExpectControlsAfterReading();
  }

  // Lets the phone finish what it is still sending, and the window take it in.
  void LetTheLineSettle() {
    std::size_t Before = Phone->BytesSent();
    for (;;) {
      QTest::qWait(300);
      const std::size_t Now = Phone->BytesSent();
      if (Now == Before && frmMain->KoComm->BytesWaiting() == 0) break;
      Before = Now;
    }
  }

  static TPhoneOptions NoEcho() {
    TPhoneOptions Options;
    Options.Echo = false;
    return Options;
  }
};

// Unsolicited lines every 10 ms do not keep a command alive: a listing that never gets its final
// result ends by the time-out, and with the phone answering again the next reading works, the
// flood still going.
TEST_F(HardeningTest, UnsolicitedFloodEndsByTheTimeOut) {
  for (const char* Line : {"RING", "+CMTI: \"SM\",3"}) {
    SCOPED_TRACE(Line);
    TPhoneOptions Options = NoEcho();
    Options.Flood = Line;
    Options.FloodMs = 10;
    Options.Mute = {"AT+CMGL"};
    StartPhone(ThreeMessages(), Options);
    Boxes.Answer();
    Read();
    EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Timeout});
    EXPECT_EQ(frmMain->lblMemory->text(), "3/30");
    EXPECT_TRUE(frmMain->KoComm->IsOpen());
    ExpectControlsAfterReading();

    frmMain->memLog->clear();
    Boxes.Shown.clear();
    Options.Mute.clear();
    Phone->SetOptions(Options);
    Read();
    EXPECT_TRUE(Boxes.Shown.empty());
    EXPECT_EQ(Sent("AT+CGSN"), 0);
    EXPECT_EQ(Grid().RowCount(), 4);
    EXPECT_EQ(Grid().Cells(0, 3), "3");
    frmMain->KoComm->ClosePort();
    Phone->Stop();
  }
}

// More than any listing can be (no line break at all) ends the command with a box once the reply
// passes its bound; the memory stays near that bound, and the port stays usable.
TEST_F(HardeningTest, TextWithoutEndIsCutOffAtTheBound) {
  TPhoneOptions Options = NoEcho();
  Options.Stream = "AT+CMGL";
  Options.StreamBytes = static_cast<long>(MaxReplySize) + (256 << 10);
  StartPhone(ThreeMessages(), Options);
  const long Before = PeakMB();
  Boxes.Answer();
  Read();
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{ReplyTooLongText});
  EXPECT_TRUE(frmMain->KoComm->IsOpen());
  EXPECT_EQ(frmMain->lblMemory->text(), "3/30");
  EXPECT_EQ(Grid().RowCount(), 2);
  ExpectControlsAfterReading();
  LetTheLineSettle();
  EXPECT_TRUE(frmMain->ReplyBuffer.empty()) << "nothing more is taken once the command has ended";
  // The reply buffer's bound, the log's tail and the line's own buffers; not ten times that. The
  // address sanitizer holds freed memory back for a while, so it is given more room.
#if defined(__SANITIZE_ADDRESS__)
  constexpr long Room = 400;
#else
  constexpr long Room = 80;
#endif
  EXPECT_LT(PeakMB() - Before, Room) << "peak before " << Before << " MB";
  // The log kept its tail only, in lines of bounded length.
  const QTextDocument* Log = frmMain->memLog->document();
  EXPECT_LE(Log->characterCount(), static_cast<int>(LogTailSize + LogTailSize / 4 + LogLineMax * 4));
  for (QTextBlock Block = Log->begin(); Block.isValid(); Block = Block.next())
    ASSERT_LE(Block.length(), LogLineMax + 1);
  NextReadingWorks(3);
}

// However many messages the phone claims, the list and the grid hold what it listed, and one row
// for the rest; the label shows the phone's numbers.
TEST_F(HardeningTest, GarbledCountKeepsMemoryFlat) {
  const long Before = PeakMB();
  for (long Claimed : {5000000L, 2147483647L, 99999L}) {
    SCOPED_TRACE(Claimed);
    TPhoneOptions Options = NoEcho();
    Options.ClaimUsed = Claimed;
    StartPhone(ThreeMessages(), Options);
    Read();
    EXPECT_TRUE(Boxes.Shown.empty()) << (Boxes.Shown.empty() ? "" : Boxes.Shown[0].Text);
    EXPECT_EQ(frmMain->lblMemory->text(), QStringLiteral("%1/30").arg(Claimed));
    ASSERT_EQ(Grid().RowCount(), 5);
    EXPECT_EQ(frmMain->Messages.size(), 4u);
    EXPECT_EQ(Grid().Cells(0, 3), "3");
    EXPECT_EQ(Grid().Cells(0, 4), "?");
    EXPECT_EQ(Grid().Cells(4, 4), "<Status report>");
    ExpectControlsAfterReading();
    EXPECT_TRUE(frmMain->btnView->isEnabled());
    frmMain->KoComm->ClosePort();
    Phone->Stop();
  }
  EXPECT_LT(PeakMB() - Before, 40) << "peak before " << Before << " MB";
}

// An error line carrying a megabyte of text, or a NUL byte, gives a box of a few hundred readable
// characters, whole.
TEST_F(HardeningTest, HugeOrStrangeErrorTexts) {
  struct TCase {
    std::string Result;
    std::string Box;
  };
  const std::string Megabyte(1 << 20, 'x');
  const TCase Cases[] = {
      {"+CMS ERROR: " + Megabyte, "+CMS ERROR: " + std::string(200, 'x') + "..."},
      {std::string("+CME ERROR: SIM") + '\0' + "busy", "+CME ERROR: SIM?busy."},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Box.substr(0, 20));
    TPhoneOptions Options = NoEcho();
    Options.Fail = {{"AT+CPMS", Case.Result}};
    StartPhone(ThreeMessages(), Options);
    Boxes.Answer();
    Read();
    EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Case.Box});
    ExpectControlsAfterReading();
    NextReadingWorks(3);
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    Boxes.Shown.clear();
  }
}

// A command written to a port that closed under it fails at once, with a box that says so, and the
// log holds nothing that was not written. A port that was never opened says it is not open; one
// whose phone went away says that the phone was disconnected.
TEST_F(HardeningTest, CommandToAClosedPortFailsAtOnce) {
  frmMain->KoComm->SetPortNum(4);
  Boxes.Answer();
  EXPECT_FALSE(frmMain->SendCommand("AT\r\n"));
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"ERROR: Port not open, command not sent."});

  TPhoneOptions Options = NoEcho();
  Options.HangupAfter = 5;  // the phone goes away in the middle of its first reply
  StartPhone(ThreeMessages(), Options);
  OpenPort();
  Boxes.Shown.clear();
  Boxes.Answer();
  EXPECT_FALSE(frmMain->SendCommand("AT+CGSN\r\n"));
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Disconnected});
  EXPECT_FALSE(frmMain->KoComm->IsOpen());

  Boxes.Shown.clear();
  Boxes.Answer();
  EXPECT_FALSE(frmMain->SendCommand("AT+CPMS?\r\n"));
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Disconnected});
  EXPECT_FALSE(frmMain->TimedOut);
  EXPECT_FALSE(frmMain->Timer->isActive());
  EXPECT_FALSE(frmMain->memLog->toPlainText().contains(QStringLiteral("AT+CPMS")));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The phone goes away (its cable pulled) at each stage of the work. A command that waits fails at
// once, without waiting for the time-out, with a box that names the port; its operation ends by
// its failure path, with the port closed and the controls back. Gone while nothing waits, the user
// is told once and the port shows closed. Either way the next command says the phone was
// disconnected, and a new reading opens the port again.
TEST_F(HardeningTest, APhoneThatGoesAwayIsReportedAtOnce) {
  enum class TStage { Idle, ModelCheck, Listing, Names, PduPrompt };
  struct TCase {
    const char* Name;
    TStage Stage;
    std::vector<std::string> Boxes;
  } Cases[] = {
      {"idle", TStage::Idle, {Disconnected}},
      {"during AT+CGSN", TStage::ModelCheck, {Disconnected}},
      {"mid-listing", TStage::Listing, {Disconnected}},
      {"during names", TStage::Names, {Disconnected, "Phone character set could not be set to back \"IRA\"."}},
      {"during the PDU prompt of a send", TStage::PduPrompt, {Disconnected}},
  };
  TSimCard Card = ThreeMessages();
  Card.Phonebook[1] = {"+919884280026", 145, "Anna"};
  Card.Phonebook[2] = {"+639193770523", 145, "Ben"};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    frmMain->Timer->setInterval(3000);  // a wait that ran into the time-out would show its box
    TPhoneOptions Options = NoEcho();
    Options.Echo = true;
    if (Case.Stage == TStage::ModelCheck) Options.Mute = {"AT+CGSN"};
    if (Case.Stage == TStage::Listing) {
      Options.Chunk = 16;
      Options.GapMs = 5;
    }
    StartPhone(Card, Options);
    if (Case.Stage >= TStage::Names || Case.Stage == TStage::Idle) {
      Read();
      ASSERT_EQ(Grid().RowCount(), 4);
      ASSERT_TRUE(Boxes.Shown.empty());
    }
    if (Case.Stage == TStage::Names)
      Phone->SetOptions([&] {
        TPhoneOptions Mute = Options;
        Mute.Mute = {"AT+CPBR"};
        return Mute;
      }());
    if (Case.Stage == TStage::PduPrompt)
      Phone->SetOptions([&] {
        TPhoneOptions Slow = Options;
        Slow.DelayMs = 150;
        return Slow;
      }());

    // The phone hangs up as soon as the window waits at that stage.
    QTimer HangUp;
    HangUp.setInterval(1);
    QObject::connect(&HangUp, &QTimer::timeout, [&] {
      const std::string& Buffer = frmMain->ReplyBuffer;
      const bool Waits = frmMain->CommandWaiting() && !frmMain->ReplyComplete;
      bool Now = Case.Stage == TStage::Idle;
      if (Case.Stage == TStage::ModelCheck) Now = Waits && Buffer.find("AT+CGSN") != std::string::npos;
      if (Case.Stage == TStage::Listing) Now = Waits && Buffer.find("+CMGL: 2") != std::string::npos;
      if (Case.Stage == TStage::Names) Now = Waits && Buffer.find("AT+CPBR") != std::string::npos;
      // The PDU's own echo: the prompt has come and the PDU is on its way.
      if (Case.Stage == TStage::PduPrompt) Now = Waits && !Buffer.empty() && Buffer.find("AT") == std::string::npos;
      if (!Now) return;
      HangUp.stop();
      Phone->Stop();
    });
    HangUp.start();
    for (std::size_t I = 0; I < Case.Boxes.size(); ++I) Boxes.Answer();
    switch (Case.Stage) {
      case TStage::Idle:
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Boxes.Shown.empty(); }, 5000));
        QTest::qWait(200);  // told once
        break;
      case TStage::ModelCheck:
      case TStage::Listing:
        Read();
        break;
      case TStage::Names:
        frmMain->btnNamesClick();
        break;
      case TStage::PduPrompt: {
        QTimer Compose;
        Compose.setInterval(5);
        QObject::connect(&Compose, &QTimer::timeout, [&] {
          if (!frmSend->isVisible() || QApplication::activeModalWidget() != frmSend) return;
          Compose.stop();
          frmSend->combxDA->setEditText(QStringLiteral("12345"));
          frmSend->memUD->setPlainText(QStringLiteral("hello"));
          frmSend->edSCA->setText(QStringLiteral("+4912345678"));
          frmSend->btnSend->click();
          if (frmSend->isVisible()) frmSend->btnCancel->click();
        });
        Compose.start();
        frmMain->btnNewClick(frmMain->btnNew);
        break;
      }
    }
    EXPECT_FALSE(HangUp.isActive()) << "the stage was not reached";
    EXPECT_EQ(Boxes.Texts(), Case.Boxes);
    EXPECT_FALSE(frmMain->KoComm->IsOpen());
    EXPECT_FALSE(frmMain->CommandWaiting());
    ExpectControlsAfterReading();
    EXPECT_FALSE(frmMain->btnNames->isEnabled());

    // The next command says what happened; a new reading opens the port again.
    Boxes.Shown.clear();
    Boxes.Answer();
    EXPECT_FALSE(frmMain->SendCommand("AT+CMGD=1\r\n"));
    EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Disconnected});
    Boxes.Shown.clear();
    StartPhone(Card, NoEcho());
    Read();
    EXPECT_TRUE(Boxes.Shown.empty()) << (Boxes.Shown.empty() ? "" : Boxes.Shown[0].Text);
    EXPECT_TRUE(frmMain->KoComm->IsOpen());
    EXPECT_EQ(Grid().RowCount(), 4);
    ExpectControlsAfterReading();
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    Boxes.Shown.clear();
  }
}

// One message whose time stamp or header does not parse is marked like a refused one; the
// conversion error is told once, and every other message is listed.
TEST_F(HardeningTest, OneMalformedMessageLeavesTheOthers) {
  TSimCard Card = ThreeMessages();
  Card.Messages[4] = Sms(1, ReadDeliver);
  Card.Messages[5] = Sms(1, ReadDeliver);
  const std::string Listing = "+CMGL: 1,1,,23\r\n" + ReadDeliver + "\r\n+CMGL: 2,1,,23\r\n" + BadTimeDeliver +
                              "\r\n+CMGL: 99999999999,1,,23\r\n" + ReadDeliver + "\r\n+CMGL: 4,0,,23\r\n" +
                              ReadDeliver + "\r\n+CMGL: 5,3,,39\r\n" + SentSubmit + "\r\n\r\nOK";
  TPhoneOptions Options = NoEcho();
  Options.Fail = {{"AT+CMGL", Listing}};
  StartPhone(Card, Options);
  Boxes.Answer();
  Read();
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"'4A' is not a valid integer value."});
  ASSERT_EQ(Grid().RowCount(), 6);
  const std::vector<std::vector<std::string>> Rows = {
      {"1", "+919884280026"}, {"2", "ERROR"}, {"", "ERROR"}, {"4", "+919884280026"}, {"5", "+639193770523"}};
  for (int R = 1; R <= 5; ++R) {
    SCOPED_TRACE(R);
    EXPECT_EQ(Grid().Cells(0, R), Rows[R - 1][0]);
    EXPECT_EQ(Grid().Cells(2, R), Rows[R - 1][1]);
  }
  EXPECT_EQ(Grid().Objects(1, 2), frmMain->StatusBitmap(1));
  EXPECT_EQ(Grid().Objects(1, 3), nullptr);
  EXPECT_EQ(Grid().Cells(4, 5), "May salary na ba?");
  EXPECT_TRUE(frmMain->btnView->isEnabled());
  ExpectControlsAfterReading();
}

// A memory status or listing that gets no answer leaves the port open: the next reading goes on
// without the model check.
TEST_F(HardeningTest, UnansweredMemoryStatusOrListingLeavesThePortOpen) {
  struct TCase {
    const char* Command;
    const char* Memory;
  };
  for (const TCase& Case : {TCase{"AT+CPMS", "0/0"}, TCase{"AT+CMGL", "3/30"}}) {
    SCOPED_TRACE(Case.Command);
    TPhoneOptions Options = NoEcho();
    Options.Mute = {Case.Command};
    StartPhone(ThreeMessages(), Options);
    Boxes.Answer();
    Read();
    EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Timeout});
    EXPECT_TRUE(frmMain->KoComm->IsOpen());
    EXPECT_EQ(frmMain->lblMemory->text(), Case.Memory);
    EXPECT_TRUE(frmMain->Messages.empty());
    EXPECT_TRUE(frmMain->btnNew->isEnabled());
    ExpectControlsAfterReading();
    NextReadingWorks(3);
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    Boxes.Shown.clear();
  }
}

// The phone's log (the times of the commands) and the window's geometry against the form.
TEST_F(HardeningTest, TimingAndGeometryOfTheForm) {
  // After the port opened, the first command waits one pass of 100 ms like every other wait, and
  // a command whose reply comes at once still takes its full first pass before the next goes out.
  const std::string LogFile = testing::TempDir() + "pelmo-harden-" + std::to_string(::getpid()) + ".log";
  TPhoneOptions Options = NoEcho();
  Options.LogFile = LogFile;
  StartPhone(ThreeMessages(), Options);
  Read();
  ASSERT_TRUE(Boxes.Shown.empty());
  frmMain->KoComm->ClosePort();  // a phone that went away with the port open would be reported
  Phone->Stop();
  const auto Millis = [](const std::string& Line) {
    std::smatch M;
    if (!std::regex_search(Line, M, std::regex(R"(^(\d\d):(\d\d):(\d\d)\.(\d\d\d) )"))) return -1L;
    return ((std::stol(M[1]) * 60 + std::stol(M[2])) * 60 + std::stol(M[3])) * 1000 + std::stol(M[4]);
  };
  long Opened = -1, Serial = -1, Memory = -1;
  std::ifstream In(LogFile);
  for (std::string Line; std::getline(In, Line);) {
    if (Line.find("--- client opened the line") != std::string::npos && Serial < 0) Opened = Millis(Line);
    if (Line.find("in  AT+CGSN") != std::string::npos && Serial < 0) Serial = Millis(Line);
    if (Line.find("in  AT+CPMS?") != std::string::npos && Memory < 0) Memory = Millis(Line);
  }
  std::remove(LogFile.c_str());
  ASSERT_GE(Opened, 0);
  ASSERT_GE(Serial, 0);
  // The phone notes each event as its thread sees it, a moment late: a margin of a few
  // milliseconds, against the next to nothing of a command sent at once.
  EXPECT_GE(Serial - Opened, 95) << "AT+CGSN went out too soon after the port opened";
  ASSERT_GE(Memory, 0);
  EXPECT_GE(Memory - Serial, 95) << "AT+CPMS? went out too soon after AT+CGSN";

  // The memory label stands at 576, 288, as wide as its text.
  for (const QString& Text : {QStringLiteral("3/30"), QStringLiteral("0/0"), QStringLiteral("255/255")}) {
    frmMain->lblMemory->setText(Text);
    EXPECT_EQ(frmMain->lblMemory->pos(), QPoint(576, 288));
    EXPECT_EQ(frmMain->lblMemory->width(), frmMain->lblMemory->sizeHint().width()) << Text.toStdString();
  }

  // In a viewer, Enter in a field leaves it open; OK and Escape close it with the OK result. The
  // viewers make their components when first used; here they are reached before any showing.
  frmViewIn->Build();
  frmViewOut->Build();
  for (QDialog* Viewer : {static_cast<QDialog*>(frmViewIn), static_cast<QDialog*>(frmViewOut)}) {
    SCOPED_TRACE(Viewer->objectName().toStdString());
    QPushButton* OK = Viewer == frmViewIn ? frmViewIn->btnOK : frmViewOut->btnOK;
    QLineEdit* Field = Viewer == frmViewIn ? frmViewIn->edIndex : frmViewOut->edIndex;
    EXPECT_FALSE(OK->isDefault());
    std::vector<std::string> Seen;
    QTimer::singleShot(0, [&] {
      Field->setFocus();
      QTest::keyClick(Field, Qt::Key_Return);
      Seen.push_back(Viewer->isVisible() ? "open after Enter" : "closed by Enter");
      QTest::keyClick(Field, Qt::Key_Escape);
    });
    EXPECT_EQ(Viewer->exec(), QDialog::Accepted);
    QTimer::singleShot(0, [&] {
      OK->setFocus();
      QTest::keyClick(OK, Qt::Key_Return);
    });
    EXPECT_EQ(Viewer->exec(), QDialog::Accepted);
    QTimer::singleShot(0, [&] { OK->click(); });
    EXPECT_EQ(Viewer->exec(), QDialog::Accepted);
    EXPECT_EQ(Seen, std::vector<std::string>{"open after Enter"});
  }
}

}  // namespace
