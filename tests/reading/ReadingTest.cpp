// Reading the phone's messages from the button, against the simulated phone on a pseudo-terminal.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <string>
#include <vector>

#include "forms/ViewFill.h"
#include "rules/ComposeText.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/PackedText.h"

using SMSEngine::TMessageList;

namespace {

std::string HexByte(int Value) {
  static const char Hex[] = "0123456789ABCDEF";
  return {Hex[(Value >> 4) & 15], Hex[Value & 15]};
}

// A received 7-bit message from +491711234567 through +491710760000, 15 March 2024 14:30:05 +01:00.
std::string Deliver(const std::string& Septets, bool WithSCA = true) {
  return std::string(WithSCA ? "0791947101670000" : "") + "040C91947111325476" + "0000" + "42305141035040" +
         HexByte(static_cast<int>(Septets.size())) + PackSeptets(Septets);
}

const std::string LineBreakAndExtension =
    std::string("Line one") + '\x0A' + "Price 5" + "\x1B\x65" + " " + "\x1B\x3C" + "net" + "\x1B\x3E";

TSimMessage StatusReport() {
  TSimMessage Message = Sms(1, "07914356060013F1065A098136395339F6219011700463802190117004638030");
  Message.Hidden = true;
  return Message;
}

TSimCard Sim(std::map<int, TSimMessage> Messages) {
  TSimCard Card;
  Card.SCA = "+491710760000";
  Card.MemoryTotal = 30;
  Card.Messages = std::move(Messages);
  return Card;
}

// Replies of phones that this program was used with, and the refused kinds.
const std::string ReadDeliver = "0791198948004544040C9119894882006200007050307040042206CF35689E9603";
const std::string BareSubmit = "11000A9194214365870000AD05C8329BFD06";  // listed without an SCA field
const std::string SentSubmit = "0791361907001003B17A0C913619397750320000AD11CD701E340FB3C3F23CC81D0689C3BF";
const std::string Ucs2Deliver = "07914306073011F0040B914316709807F2000880604290224080084E2D5174901A8BAF";
const std::string EightBitDeliver = "06914977000030200B914977745010F700FB918050809053221DB15CEC868BC96630180804028164";
const std::string HeaderDeliver = "0791246020099990400C91247042972767000070107031107440A005000301020182E8B71A040FDB";
const std::string StatusReportPDU = "07914356060013F1065A098136395339F6219011700463802190117004638030";

struct TRow {
  std::string Idx, Address, Timestamp, Text;
  int Status;  // -1: no icon
};

class ReadingTest : public TFormsTest {
 protected:
  void SetUp() override {
    TFormsTest::SetUp();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
  }
  void TearDown() override {
    QLocale::setDefault(QLocale::system());
    TFormsTest::TearDown();
  }

  void Read() { frmMain->btnReadClick(); }

  TStringGrid& Grid() { return *frmMain->sgMessages; }

  void ExpectRows(const std::vector<TRow>& Rows) {
    ASSERT_EQ(Grid().RowCount(), static_cast<int>(Rows.size()) + 1);
    for (int R = 1; R <= static_cast<int>(Rows.size()); ++R) {
      SCOPED_TRACE("row " + std::to_string(R));
      const TRow& Row = Rows[static_cast<std::size_t>(R - 1)];
      EXPECT_EQ(Grid().Cells(0, R), Row.Idx);
      EXPECT_EQ(Grid().Cells(1, R), "");
      EXPECT_EQ(Grid().Cells(2, R), Row.Address);
      EXPECT_EQ(Grid().Cells(3, R), Row.Timestamp);
      EXPECT_EQ(Grid().Cells(4, R), Row.Text);
      EXPECT_EQ(Grid().Objects(1, R), Row.Status < 0 ? nullptr : frmMain->StatusBitmap(Row.Status));
    }
  }

  void ExpectMessageButtons(bool Enabled) {
    for (QPushButton* Button : {frmMain->btnView, frmMain->btnSave, frmMain->btnDelete, frmMain->btnForward})
      EXPECT_EQ(Button->isEnabled(), Enabled) << Button->text().toStdString();
  }

  // How often a command went out, counted in the communication log (echo off).
  int Sent(const std::string& Command) {
    const QString Log = frmMain->memLog->toPlainText();
    return static_cast<int>(Log.count(QString::fromStdString(Command)));
  }

  static TPhoneOptions NoEcho() {
    TPhoneOptions Options;
    Options.Echo = false;
    return Options;
  }
};

TEST_F(ReadingTest, AllStatusesRefusalsAndLineBreaks) {
  StartPhone(Sim({
      {1, Sms(1, ReadDeliver)},
      {2, Sms(0, Deliver(LineBreakAndExtension))},
      {3, Sms(2, BareSubmit, false)},
      {4, Sms(3, SentSubmit)},
      {5, Sms(1, Ucs2Deliver)},
      {6, Sms(1, EightBitDeliver)},
      {7, Sms(0, HeaderDeliver)},
      {8, Sms(1, StatusReportPDU)},
      {9, Sms(0, Deliver("No SCA", false), false)},
  }));
  for (int I = 0; I < 4; ++I) Boxes.Answer();
  Read();

  EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{
                               "ERROR: Message data coding scheme not supported.",
                               "ERROR: Message data coding scheme not supported.",
                               "ERROR: Messages with user data header not supported.",
                               "ERROR: Message type not supported.",
                           }));
  EXPECT_EQ(frmMain->lblMemory->text(), "9/30");
  const auto Received = [](int Y, int M, int D, int H, int N, int S) {
    return DateTimeText(SMSEngine::EncodeDate(Y, M, D) + SMSEngine::EncodeTime(H, N, S, 0)).toStdString();
  };
  ExpectRows({
      {"1", "+919884280026", Received(2007, 5, 3, 7, 4, 40), "Ok sir", 1},
      {"2", "+491711234567", Received(2024, 3, 15, 14, 30, 5), "Line one  Price 5\x80 [net]", 0},
      {"3", "+4912345678", "", "Hello", 2},
      {"4", "+639193770523", "", "May salary na ba?", 3},
      {"5", "ERROR", "", "", 1},
      {"6", "ERROR", "", "", 1},
      {"7", "ERROR", "", "", 0},
      {"8", "ERROR", "", "", 1},
      {"9", "+491711234567", Received(2024, 3, 15, 14, 30, 5), "No SCA", 0},
  });

  ASSERT_EQ(frmMain->Messages.size(), 9u);
  const TMessageList& Received2 = frmMain->Messages[1];
  EXPECT_EQ(Received2.Index, 2);
  EXPECT_EQ(Received2.Status, 0);
  EXPECT_EQ(Received2.SCA, "+491710760000");
  EXPECT_EQ(Received2.UD, "Line one\r\nPrice 5\x80 [net]");  // the entry keeps its line break
  EXPECT_EQ(Received2.PDULength, static_cast<int>(Received2.PDU.size() / 2) - 8);
  const TMessageList& Bare = frmMain->Messages[2];
  EXPECT_EQ(Bare.PDU, BareSubmit);
  EXPECT_EQ(Bare.SCA, "<Not present>");
  EXPECT_EQ(Bare.VPF, 2);
  EXPECT_EQ(Bare.VPRelative, 173);
  const TMessageList& Refused = frmMain->Messages[4];
  EXPECT_EQ(Refused.Index, 5);
  EXPECT_EQ(Refused.PDU, Ucs2Deliver);
  EXPECT_EQ(Refused.PDULength, 27);
  EXPECT_EQ(frmMain->Messages[8].SCA, "");

  ExpectControlsAfterReading();
  ExpectMessageButtons(true);
  EXPECT_TRUE(frmMain->btnAnswer->isEnabled());  // row 1 holds a received message
  EXPECT_TRUE(frmMain->KoComm->IsOpen());
}

TEST_F(ReadingTest, NoMessagesSendsNoListing) {
  StartPhone(Sim({}), NoEcho());
  Read();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(frmMain->lblMemory->text(), "0/30");
  EXPECT_EQ(Sent("AT+CMGL"), 0);
  EXPECT_EQ(frmProgress->lblProgress->text(), "");  // never prepared, never shown
  EXPECT_EQ(Grid().RowCount(), 2);
  EXPECT_TRUE(frmMain->Messages.empty());
  ExpectControlsAfterReading();
  ExpectMessageButtons(false);
  EXPECT_FALSE(frmMain->btnAnswer->isEnabled());
}

TEST_F(ReadingTest, MoreCountedThanListedShowsTheStatusReportRow) {
  StartPhone(Sim({{1, Sms(3, SentSubmit)}, {2, Sms(1, ReadDeliver)}, {3, StatusReport()}, {4, StatusReport()}}));
  Read();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(frmMain->lblMemory->text(), "4/30");
  // The listed messages and one row for what was counted but not listed.
  ExpectRows({
      {"1", "+639193770523", "", "May salary na ba?", 3},
      {"2", "+919884280026", DateTimeText(frmMain->Messages[1].SCTS).toStdString(), "Ok sir", 1},
      {"?", "-", "-", "<Status report>", -1},
  });
  ASSERT_EQ(frmMain->Messages.size(), 3u);
  EXPECT_EQ(frmMain->Messages[2].Index, NoLocation);
  EXPECT_EQ(frmMain->Messages[2].PDU, "");
  ExpectControlsAfterReading();
  ExpectMessageButtons(true);
  EXPECT_FALSE(frmMain->btnAnswer->isEnabled());  // row 1 holds a stored message

  // The status report row holds no message.
  Grid().SetRow(3);
  for (QPushButton* Button : {frmMain->btnNew, frmMain->btnView, frmMain->btnSave, frmMain->btnDelete,
                              frmMain->btnAnswer, frmMain->btnForward})
    EXPECT_FALSE(Button->isEnabled()) << Button->text().toStdString();
  frmMain->btnViewClick();
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(ReadingTest, NothingListedOfThreeCounted) {
  StartPhone(Sim({{1, StatusReport()}, {2, StatusReport()}, {3, StatusReport()}}));
  Read();
  EXPECT_EQ(frmMain->lblMemory->text(), "3/30");
  ExpectRows({{"?", "-", "-", "<Status report>", -1}});
  ExpectControlsAfterReading();
  // No message stands behind the first row.
  ExpectMessageButtons(false);
  EXPECT_FALSE(frmMain->btnAnswer->isEnabled());
}

TEST_F(ReadingTest, MoreListedThanCountedKeepsToTheCount) {
  TPhoneOptions Options;
  Options.Fail = {{"AT+CPMS?", "+CPMS: \"SM\",1,30,\"SM\",1,30,\"SM\",1,30\r\n\r\nOK"}};
  StartPhone(Sim({{1, Sms(1, ReadDeliver)}, {2, Sms(3, SentSubmit)}}), Options);
  Read();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(frmMain->lblMemory->text(), "1/30");
  ExpectRows({{"1", "+919884280026", DateTimeText(frmMain->Messages[0].SCTS).toStdString(), "Ok sir", 1}});
  EXPECT_TRUE(frmMain->btnAnswer->isEnabled());
  EXPECT_EQ(frmProgress->ProgressBar->value(), 100);
}

TEST_F(ReadingTest, SecondReadingOnTheOpenPortSkipsTheModelCheck) {
  StartPhone(Sim({{1, Sms(1, ReadDeliver)}, {5, Sms(3, SentSubmit)}}), NoEcho());
  Read();
  EXPECT_EQ(Sent("AT+CGSN"), 1);
  ASSERT_TRUE(frmMain->KoComm->IsOpen());
  Grid().SetRow(2);  // the stored message
  Phone->SetSim(Sim({{1, Sms(1, ReadDeliver)}, {5, Sms(3, SentSubmit)}, {6, Sms(3, SentSubmit)}}));
  Read();
  EXPECT_EQ(Sent("AT+CGSN"), 1);
  EXPECT_EQ(Sent("AT+CPMS?"), 2);
  EXPECT_EQ(frmMain->lblMemory->text(), "3/30");
  EXPECT_EQ(Grid().Cells(0, 3), "6");
  EXPECT_EQ(frmMain->Messages.size(), 3u);
  // The reset grid starts again at row 1, whose received message allows an answer.
  EXPECT_EQ(Grid().Row(), 1);
  EXPECT_TRUE(frmMain->btnAnswer->isEnabled());
}

TEST_F(ReadingTest, AnotherPortClosesTheOldOneAndForgetsWhatItsPhoneTold) {
  StartPhone(Sim({{1, Sms(1, ReadDeliver)}}), NoEcho());
  Read();
  ASSERT_TRUE(frmMain->KoComm->IsOpen());
  ASSERT_EQ(frmMain->KoComm->PortNum(), 4);

  // What was learnt from the phone on COM 4, with the names shown.
  frmMain->PhoneSCA = "+491710760000";
  frmMain->PhonebookRead = true;
  frmMain->Phonebook = {{"+919884280026", "Ravi"}};
  frmMain->NamesShown = true;
  Grid().SetColCount(6);
  Grid().SetCells(3, 0, "Name");
  Grid().SetCells(4, 0, "Timestamp");
  Grid().SetCells(5, 0, "Text");
  frmMain->btnNames->setText("Hide na&mes");

  TSimPhone Second(Sim({{7, Sms(3, SentSubmit)}}), NoEcho());
  Second.Start();
  PointPort(5, Second.DevicePath());
  frmMain->cbxCOMPort->setCurrentIndex(4);
  Read();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(frmMain->KoComm->PortNum(), 5);
  EXPECT_TRUE(frmMain->KoComm->IsOpen());
  EXPECT_EQ(frmMain->PhoneSCA, "NULL");
  EXPECT_FALSE(frmMain->PhonebookRead);
  EXPECT_FALSE(frmMain->NamesShown);
  EXPECT_EQ(Grid().ColCount(), 5);
  EXPECT_EQ(Grid().Cells(3, 0), "Timestamp");
  EXPECT_EQ(Grid().Cells(4, 0), "Text");
  EXPECT_EQ(Grid().ColWidths(3), 100);
  EXPECT_EQ(Grid().ColWidths(4), 360);
  EXPECT_EQ(frmMain->btnNames->text(), "Show na&mes");
  EXPECT_EQ(Sent("AT+CGSN"), 2);  // the new port gets the model check
  ExpectRows({{"7", "+639193770523", "", "May salary na ba?", 3}});

  // Back on COM 4: its phone still answers, so the old port was given up and opens again.
  frmMain->cbxCOMPort->setCurrentIndex(3);
  Read();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(Sent("AT+CGSN"), 3);
  EXPECT_EQ(Grid().Cells(0, 1), "1");
  frmMain->KoComm->ClosePort();
  Second.Stop();
}

TEST_F(ReadingTest, StatusReportRowInTheNamesLayoutLandsUnderText) {
  StartPhone(Sim({{1, Sms(1, ReadDeliver)}, {2, StatusReport()}}));
  frmMain->cbxCOMPort->setCurrentIndex(3);
  frmMain->KoComm->SetPortNum(4);
  frmMain->NamesShown = true;
  Grid().SetColCount(6);
  Read();
  ASSERT_EQ(Grid().RowCount(), 3);
  EXPECT_EQ(Grid().Cells(0, 2), "?");
  EXPECT_EQ(Grid().Cells(2, 2), "-");
  EXPECT_EQ(Grid().Cells(3, 2), "");
  EXPECT_EQ(Grid().Cells(4, 2), "-");
  EXPECT_EQ(Grid().Cells(5, 2), "<Status report>");
  EXPECT_EQ(Grid().Cells(5, 1), "Ok sir");
}

TEST_F(ReadingTest, EnterDoubleClickAndViewOpenTheViewerOfTheMessageKind) {
  StartPhone(Sim({{1, Sms(0, Deliver(LineBreakAndExtension))}, {2, Sms(3, SentSubmit)}}));
  Read();
  ASSERT_TRUE(Boxes.Shown.empty());

  // Each way of viewing, on each row: which viewer came up and what it showed.
  const auto View = [&](int Row, const std::function<void()>& Action) {
    Grid().SetRow(Row);
    QString Shown;
    QTimer::singleShot(0, [&] {
      if (QApplication::activeModalWidget() == frmViewIn) {
        Shown = "in " + frmViewIn->edIndex->text() + " " + frmViewIn->edOA->text() + " " + frmViewIn->lblChars->text();
        QTest::keyClick(frmViewIn, Qt::Key_Escape);
      } else if (QApplication::activeModalWidget() == frmViewOut) {
        Shown = "out " + frmViewOut->edIndex->text() + " " + frmViewOut->edDA->text() + " " + frmViewOut->edVP->text();
        QTest::keyClick(frmViewOut, Qt::Key_Escape);
      }
    });
    Action();
    return Shown.toStdString();
  };
  const auto Enter = [&] { QTest::keyClick(frmMain->sgMessages, Qt::Key_Return); };
  const auto DoubleClick = [&] {
    QWidget* Cells = frmMain->sgMessages->viewport();
    const QRect Cell = frmMain->sgMessages->visualItemRect(frmMain->sgMessages->currentItem());
    QTest::mouseDClick(Cells, Qt::LeftButton, Qt::NoModifier, Cell.center());
  };
  const auto Button = [&] { frmMain->btnView->click(); };
  for (const auto& Action :
       {std::function<void()>(Enter), std::function<void()>(DoubleClick), std::function<void()>(Button)}) {
    EXPECT_EQ(View(1, Action), "in 1 +491711234567 27");
    EXPECT_EQ(View(2, Action), "out 2 +639193770523 07 days");
  }
  // Viewing leaves an unread message unread.
  EXPECT_EQ(frmMain->Messages[0].Status, 0);
}

struct TFailureCase {
  const char* Name;
  std::vector<std::pair<std::string, std::string>> Fail;
  std::string Serial;
  std::vector<std::string> Boxes;
  bool PortOpen;
  const char* Memory;
  std::size_t Entries;
  int Rows;
  bool Raised;  // the error leaves the reading and is shown after the closing steps
};

TEST_F(ReadingTest, FailureRows) {
  const TFailureCase Cases[] = {
      {"serial number refused",
       {{"AT+CGSN", "ERROR"}},
       "350077801234567",
       {"ERROR: Invalid command."},
       false,
       "0/0",
       1,
       2,
       false},
      {"another model", {}, "111111111111111", {"ERROR: No Siemens S40 detected."}, false, "0/0", 1, 2, false},
      {"memory status refused",
       {{"AT+CPMS", "+CMS ERROR: 310"}},
       "350077801234567",
       {"+CMS ERROR 310: SIM not inserted."},
       true,
       "0/0",
       0,
       2,
       false},
      {"listing refused",
       {{"AT+CMGL", "+CMS ERROR: 321"}},
       "350077801234567",
       {"+CMS ERROR 321: Invalid memory index."},
       true,
       "2/30",
       0,
       2,
       false},
      {"bad number in the memory status",
       {{"AT+CPMS", "+CPMS: \"SM\",2x,30,\"SM\",2,30,\"SM\",2,30\r\n\r\nOK"}},
       "350077801234567",
       {"'2x' is not a valid integer value."},
       true,
       "0/0",
       0,
       2,
       true},
      {"NUL in the memory status",
       {{"AT+CPMS", std::string("+CPMS: \"SM\",3") + '\0' + "x,30\r\n\r\nOK"}},
       "350077801234567",
       {"'3?x' is not a valid integer value."},
       true,
       "0/0",
       0,
       2,
       true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    // Entries of an earlier reading stay until the memory status is asked.
    frmMain->Messages.assign(1, TMessageList());
    TSimCard Card = Sim({{1, Sms(1, ReadDeliver)}, {2, Sms(3, SentSubmit)}});
    Card.Serial = Case.Serial;
    TPhoneOptions Options;
    Options.Fail = Case.Fail;
    StartPhone(Card, Options);
    // A box inside the reading comes with the hourglass and the controls disabled; an error that
    // leaves the reading finds the controls and the cursor restored.
    std::vector<bool> RestoredAtBox;
    for (std::size_t I = 0; I < Case.Boxes.size(); ++I)
      Boxes.Answer(TBoxButton::OK, [&](const TBoxRequest&) {
        RestoredAtBox.push_back(QApplication::overrideCursor() == nullptr && frmMain->btnRead->isEnabled() &&
                                !frmProgress->isVisible());
      });
    Read();
    EXPECT_EQ(Boxes.Texts(), Case.Boxes);
    EXPECT_EQ(RestoredAtBox, std::vector<bool>(Case.Boxes.size(), Case.Raised));
    EXPECT_EQ(frmMain->KoComm->IsOpen(), Case.PortOpen);
    EXPECT_EQ(frmMain->lblMemory->text(), Case.Memory);
    EXPECT_EQ(frmMain->Messages.size(), Case.Entries);
    EXPECT_EQ(Grid().RowCount(), Case.Rows);
    EXPECT_EQ(Grid().Cells(0, 1), "");
    ExpectControlsAfterReading();
    ExpectMessageButtons(false);
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    Boxes.Shown.clear();
  }
}

TEST_F(ReadingTest, PortThatCannotBeOpened) {
  const std::string Missing = (std::filesystem::temp_directory_path() / "pelmo-no-such-device").string();
  PointPort(4, Missing);
  Boxes.Answer();
  Read();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_NE(Boxes.Shown[0].Text.find(Missing), std::string::npos) << Boxes.Shown[0].Text;
  EXPECT_FALSE(frmMain->KoComm->IsOpen());
  ExpectControlsAfterReading();
}

TEST_F(ReadingTest, NoOpenEventEndsByTheTimeOut) {
  StartPhone(Sim({{1, Sms(1, ReadDeliver)}}));
  frmMain->KoComm->OnOpen = nullptr;  // the channel never reports the port open
  Boxes.Answer();
  Read();
  EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"ERROR: No answer from phone (timeout)."}));
  EXPECT_FALSE(frmMain->KoComm->IsOpen());
  ExpectControlsAfterReading();
}

// The same SIM read through the phone's awkward habits gives the same grid.
struct TFaultCase {
  const char* Name;
  TPhoneOptions Options;
};

TEST_F(ReadingTest, FaultsOfThePhoneDoNotChangeTheResult) {
  const TSimCard Card = DemoSim();
  std::vector<std::vector<std::string>> Expected;

  StartPhone(Card);
  Read();
  ASSERT_TRUE(Boxes.Shown.empty());
  for (int R = 1; R < Grid().RowCount(); ++R) {
    std::vector<std::string> Row;
    for (int C = 0; C < 5; ++C) Row.push_back(Grid().Cells(C, R));
    Expected.push_back(Row);
  }
  ASSERT_EQ(Expected.size(), 12u);
  frmMain->KoComm->ClosePort();
  Phone->Stop();

  std::vector<TFaultCase> Cases;
  for (int Chunk : {1, 2, 3, 7, 9, 64}) {
    TFaultCase Case{"split arrivals", {}};
    Case.Options.Chunk = Chunk;
    Case.Options.GapMs = Chunk < 8 ? 0 : 2;
    Cases.push_back(Case);
  }
  {
    TFaultCase Case{"unsolicited lines", {}};
    Case.Options.Unsolicited = {"+CMTI: \"SM\",14", "RING", "+CREG: 1", "+CMTI: \"SM\",15"};
    Case.Options.Chunk = 5;
    Cases.push_back(Case);
  }
  {
    TFaultCase Case{"paced at 115200 baud", {}};
    Case.Options.Baud = 115200;
    Cases.push_back(Case);
  }
  {
    TFaultCase Case{"no echo", {}};
    Case.Options.Echo = false;
    Cases.push_back(Case);
  }
  for (const auto& Case : Cases) {
    SCOPED_TRACE(std::string(Case.Name) + " chunk " + std::to_string(Case.Options.Chunk));
    StartPhone(Card, Case.Options);
    for (int Reading = 0; Reading < 2; ++Reading) {  // unread ones are read the second time
      Read();
      EXPECT_TRUE(Boxes.Shown.empty()) << (Boxes.Shown.empty() ? "" : Boxes.Shown[0].Text);
      ASSERT_EQ(Grid().RowCount(), 13);
      for (int R = 1; R < 13; ++R)
        for (int C = 0; C < 5; ++C) EXPECT_EQ(Grid().Cells(C, R), Expected[R - 1][C]) << "row " << R << " column " << C;
      EXPECT_EQ(frmMain->ListingCount, 11);
      ExpectControlsAfterReading();
    }
    frmMain->KoComm->ClosePort();
    Phone->Stop();
  }
}

// A listing that gets no answer leaves the port open, and the next reading goes on without the
// model check. A phone that hangs up is gone: the channel closes the port, and the next reading
// opens it anew and checks the model.
TEST_F(ReadingTest, PhoneGoingSilentOrAwayInTheListing) {
  for (const bool HangsUp : {false, true}) {
    SCOPED_TRACE(HangsUp ? "hang-up" : "silent");
    TPhoneOptions Options = NoEcho();
    if (HangsUp) {
      Options.Baud = 115200;
      Options.HangupAfter = 600;  // in the middle of the listing
    } else {
      Options.Mute = {"AT+CMGL"};
    }
    StartPhone(DemoSim(), Options);
    Boxes.Answer();
    Read();
    EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{HangsUp ? "ERROR: Phone disconnected (COM 4)."
                                                               : "ERROR: No answer from phone (timeout)."}));
    EXPECT_EQ(frmMain->lblMemory->text(), "12/30");
    EXPECT_EQ(Grid().RowCount(), 2);
    EXPECT_TRUE(frmMain->Messages.empty());
    ExpectControlsAfterReading();
    ExpectMessageButtons(false);
    EXPECT_EQ(frmMain->KoComm->IsOpen(), !HangsUp);
    Boxes.Shown.clear();
    frmMain->memLog->clear();

    if (HangsUp) {
      Phone->Stop();
      StartPhone(DemoSim(), NoEcho());
    } else {
      Phone->SetOptions(NoEcho());
    }
    Read();
    EXPECT_TRUE(Boxes.Shown.empty());
    EXPECT_EQ(Sent("AT+CGSN"), HangsUp ? 1 : 0);
    EXPECT_EQ(Grid().RowCount(), 13);
    frmMain->KoComm->ClosePort();
    Phone->Stop();
    frmMain->memLog->clear();
  }
}

}  // namespace
