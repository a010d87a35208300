// Phone book names from the button, against the simulated phone on a pseudo-terminal.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "forms/MainNames.h"
#include "tests/support/FormsFixture.h"
#include "tests/support/PackedText.h"

namespace {

// The digits of a number in the semi-octets of an address field.
std::string Swapped(std::string Digits) {
  if (Digits.size() % 2) Digits += 'F';
  for (std::size_t I = 0; I + 1 < Digits.size(); I += 2) std::swap(Digits[I], Digits[I + 1]);
  return Digits;
}

std::string HexByte(int Value) {
  static const char Hex[] = "0123456789ABCDEF";
  return {Hex[(Value >> 4) & 15], Hex[Value & 15]};
}

// A received message from an international number (digits without the plus).
TSimMessage Received(const std::string& From, const std::string& Text) {
  TSimMessage Message;
  Message.Status = 1;
  Message.PDU =
      "0791947101670000"
      "04" +
      HexByte(static_cast<int>(From.size())) + "91" + Swapped(From) + "0000" + "42305141035040" +
      HexByte(static_cast<int>(Text.size())) + PackSeptets(Text);
  return Message;
}

// A stored message to an international number.
TSimMessage Stored(const std::string& To, const std::string& Text) {
  TSimMessage Message;
  Message.Status = 2;
  Message.PDU =
      "0791947101670000"
      "1100" +
      HexByte(static_cast<int>(To.size())) + "91" + Swapped(To) + "0000AD" + HexByte(static_cast<int>(Text.size())) +
      PackSeptets(Text);
  return Message;
}

// A message the codec refuses (UCS2 text): its row shows ERROR.
TSimMessage Refused() {
  TSimMessage Message;
  Message.Status = 1;
  Message.PDU = "07914306073011F0040B914316709807F2000880604290224080084E2D5174901A8BAF";
  return Message;
}

TSimMessage StatusReport() {
  TSimMessage Message;
  Message.Status = 1;
  Message.PDU = "07914356060013F1065A098136395339F6219011700463802190117004638030";
  Message.Hidden = true;
  return Message;
}

TSimPhonebookEntry Pb(const std::string& Number, const std::string& Name) {
  TSimPhonebookEntry Entry;
  Entry.Number = Number;
  Entry.Type = Number.starts_with("+") ? 145 : 129;
  Entry.Name = Name;
  return Entry;
}

// Messages from and to two of the phone book's numbers, and a phone book with a gap at 3.
TSimCard Sim() {
  TSimCard Card;
  Card.SCA = "+491710760000";
  Card.MemoryTotal = 30;
  Card.Messages = {
      {1, Received("491711234567", "Hello")},
      {2, Stored("491701111111", "See you")},
      {3, Received("491799999999", "Who?")},
  };
  Card.PhonebookTotal = 10;
  Card.Phonebook = {
      {1, Pb("+491711234567", "Anna Müller")},
      {2, Pb("01701111111", "Jürgen Weiß")},
      {4, Pb("+4930123456", "Sören")},
  };
  return Card;
}

const std::string Anna = "Anna M\xFCller";
const std::string Juergen = "J\xFCrgen Wei\xDF";

// The grid and the window's switches, everything a layout decides.
struct TGridState {
  int Cols = 0;
  int Rows = 0;
  int Row = 0;
  std::vector<std::string> Cells;
  std::vector<int> Widths;
  std::vector<const QPixmap*> Objects;
  std::string Caption;
  bool NamesShown = false;
  bool operator==(const TGridState&) const = default;
};

class NamesTest : public TFormsTest {
 protected:
  void SetUp() override {
    TFormsTest::SetUp();
    char Path[] = "/tmp/pelmo-names-XXXXXX";
    const int Fd = ::mkstemp(Path);
    ASSERT_GE(Fd, 0);
    ::close(Fd);
    LogPath = Path;
  }
  void TearDown() override {
    TFormsTest::TearDown();
    std::filesystem::remove(LogPath);
  }

  // The phone on COM 4 with its traffic logged; echo on as a phone has it.
  TSimPhone& Start(TSimCard Card = Sim(), TPhoneOptions Options = {}) {
    Options.LogFile = LogPath;
    return StartPhone(std::move(Card), std::move(Options));
  }

  TStringGrid& Grid() { return *frmMain->sgMessages; }

  // Everything the phone received since the last call, as the log writes it (\r, \n escaped).
  std::string Received() {
    std::ifstream Log(LogPath);
    std::string Line, All;
    while (std::getline(Log, Line))
      if (Line.size() >= 17 && Line.compare(13, 3, "in ") == 0) All += Line.substr(17);
    std::string New = All.substr(std::min(Seen, All.size()));
    Seen = All.size();
    return New;
  }

  // Reads the messages, leaving what the phone received for them behind.
  void ReadMessages() {
    frmMain->btnReadClick();
    ASSERT_TRUE(frmMain->KoComm->IsOpen());
    Received();
  }

  TGridState State() {
    TGridState S;
    S.Cols = Grid().ColCount();
    S.Rows = Grid().RowCount();
    S.Row = Grid().Row();
    for (int C = 0; C < S.Cols; ++C) {
      S.Widths.push_back(Grid().ColWidths(C));
      for (int R = 0; R < S.Rows; ++R) {
        S.Cells.push_back(Grid().Cells(C, R));
        S.Objects.push_back(Grid().Objects(C, R));
      }
    }
    S.Caption = frmMain->btnNames->text().toStdString();
    S.NamesShown = frmMain->NamesShown;
    return S;
  }

  void ExpectNamesLayout() {
    EXPECT_TRUE(frmMain->NamesShown);
    EXPECT_EQ(frmMain->btnNames->text(), "Hide na&mes");
    ASSERT_EQ(Grid().ColCount(), 6);
    const char* const Headings[] = {"Idx", "Stat", "Address", "Name", "Timestamp", "Text"};
    const int Widths[] = {21, 26, 100, 100, 100, 259};
    for (int C = 0; C < 6; ++C) {
      EXPECT_EQ(Grid().Cells(C, 0), Headings[C]);
      EXPECT_EQ(Grid().ColWidths(C), Widths[C]) << C;
    }
  }

  // What the progress window showed while it was open, each change once, and whether anything
  // that starts an operation could be pressed meanwhile.
  struct TProgressWatch {
    std::vector<std::pair<int, std::string>> Shown;
    bool SomethingEnabled = false;
    QTimer Poll;
  };
  void Watch(TProgressWatch& W) {
    W.Poll.setInterval(5);
    QObject::connect(&W.Poll, &QTimer::timeout, [this, &W] {
      if (!frmProgress->isVisible()) return;
      const std::pair<int, std::string> Now{frmProgress->ProgressBar->value(),
                                            frmProgress->lblProgress->text().toStdString()};
      if (W.Shown.empty() || W.Shown.back() != Now) W.Shown.push_back(Now);
      W.SomethingEnabled = W.SomethingEnabled || !EnabledControls().empty();
    });
    W.Poll.start();
  }

  void RefusedCharset(const std::pair<std::string, std::string>& Fail, const std::vector<std::string>& Texts,
                      bool Read);

  std::string LogPath;
  std::size_t Seen = 0;
};

TEST_F(NamesTest, ThreeEntriesStepTheBarAndTheNamesShowBesideTheNumbers) {
  Start();
  ReadMessages();
  ASSERT_TRUE(Boxes.Shown.empty());
  const std::string Before = EnabledControls();

  TProgressWatch W;
  Watch(W);
  frmMain->btnNamesClick();
  W.Poll.stop();

  EXPECT_TRUE(Boxes.Shown.empty());
  // Location 3 is empty: the phone answers OK alone, and the entry after it takes its place.
  EXPECT_EQ(Received(),
            "AT+CPBS?\\r\\n"
            "AT+CSCS=\"UCS2\"\\r\\n"
            "AT+CPBR=1\\r\\nAT+CPBR=2\\r\\nAT+CPBR=3\\r\\nAT+CPBR=4\\r\\n"
            "AT+CSCS=\"IRA\"\\r\\n");
  EXPECT_EQ(W.Shown, (std::vector<std::pair<int, std::string>>{{0, "0 of 3 phone book entries."},
                                                               {33, "1 of 3 phone book entries."},
                                                               {66, "2 of 3 phone book entries."},
                                                               {99, "3 of 3 phone book entries."}}));
  EXPECT_FALSE(W.SomethingEnabled);
  EXPECT_FALSE(frmProgress->isVisible());
  EXPECT_EQ(Phone->Sim().Phonebook.size(), 3u);
  ASSERT_EQ(frmMain->Phonebook.size(), 3u);
  EXPECT_EQ(frmMain->Phonebook[0].Number, "+491711234567");
  EXPECT_EQ(frmMain->Phonebook[0].Name, Anna);
  EXPECT_EQ(frmMain->Phonebook[1].Number, "01701111111");
  EXPECT_EQ(frmMain->Phonebook[1].Name, Juergen);
  EXPECT_EQ(frmMain->Phonebook[2].Name, "S\xF6ren");
  EXPECT_TRUE(frmMain->PhonebookRead);

  ExpectNamesLayout();
  EXPECT_EQ(Grid().Cells(3, 1), Anna);     // received: its originating number
  EXPECT_EQ(Grid().Cells(3, 2), Juergen);  // stored: its destination, by the last eight digits
  EXPECT_EQ(Grid().Cells(3, 3), "");
  EXPECT_EQ(frmMain->Messages[0].Name, Anna);
  EXPECT_EQ(Grid().Cells(2, 1), "+491711234567");
  EXPECT_EQ(Grid().Cells(5, 1), "Hello");
  EXPECT_EQ(Grid().Cells(4, 2), "");
  EXPECT_EQ(Grid().Cells(5, 2), "See you");
  // The reading left the first row current; the buttons are as it left them.
  EXPECT_EQ(EnabledControls(), Before);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // Hide and show again: no word to the phone.
  frmMain->btnNamesClick();
  EXPECT_FALSE(frmMain->NamesShown);
  frmMain->btnNamesClick();
  ExpectNamesLayout();
  EXPECT_EQ(Grid().Cells(3, 2), Juergen);
  EXPECT_EQ(Received(), "");
  EXPECT_EQ(EnabledControls(), Before);
  frmMain->KoComm->ClosePort();
}

TEST_F(NamesTest, AnEmptyPhonebookAsksOnlyForTheStorage) {
  TSimCard Card = Sim();
  Card.Phonebook.clear();
  Start(Card);
  ReadMessages();
  const std::string Before = EnabledControls();

  TProgressWatch W;
  Watch(W);
  frmMain->btnNamesClick();
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\n");
  EXPECT_TRUE(W.Shown.empty());
  EXPECT_TRUE(Boxes.Shown.empty());
  ExpectNamesLayout();
  for (int R = 1; R < Grid().RowCount(); ++R) EXPECT_EQ(Grid().Cells(3, R), "");
  EXPECT_FALSE(frmMain->PhonebookRead);
  EXPECT_TRUE(frmMain->Phonebook.empty());
  EXPECT_EQ(EnabledControls(), Before);

  frmMain->btnNamesClick();
  EXPECT_FALSE(frmMain->NamesShown);
  EXPECT_EQ(Received(), "");
  // Still unread: the next click asks again.
  frmMain->btnNamesClick();
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\n");
  EXPECT_TRUE(frmMain->NamesShown);
  frmMain->KoComm->ClosePort();
}

// A phone that counts more entries than it holds, one of them without a name, answers every
// location with OK: the reading stops after the total the phone gave.
TEST_F(NamesTest, AnOvercountingPhoneStopsAtItsTotal) {
  TSimCard Card = Sim();
  Card.PhonebookTotal = 9999;  // answers OK far beyond what it tells
  Card.Phonebook = {{1, Pb("+491711234567", "Anna Müller")}, {2, Pb("+4930123456", "")}, {5, Pb("0301234", "Kurz")}};
  TPhoneOptions Options;
  Options.PhonebookUsed = 5;
  Options.PhonebookTotal = 12;
  Start(Card, Options);
  ReadMessages();

  TProgressWatch W;
  Watch(W);
  frmMain->btnNamesClick();
  std::string Expected = "AT+CPBS?\\r\\nAT+CSCS=\"UCS2\"\\r\\n";
  for (int Location = 1; Location <= 12; ++Location) Expected += "AT+CPBR=" + std::to_string(Location) + "\\r\\n";
  EXPECT_EQ(Received(), Expected + "AT+CSCS=\"IRA\"\\r\\n");
  EXPECT_TRUE(Boxes.Shown.empty());
  // The entry without a name was skipped; the list holds what was stored, nothing more.
  ASSERT_EQ(frmMain->Phonebook.size(), 2u);
  EXPECT_EQ(frmMain->Phonebook[0].Name, Anna);
  EXPECT_EQ(frmMain->Phonebook[1].Number, "0301234");
  EXPECT_EQ(frmMain->Phonebook[1].Name, "Kurz");
  ASSERT_FALSE(W.Shown.empty());
  EXPECT_EQ(W.Shown.back(), (std::pair<int, std::string>{40, "2 of 5 phone book entries."}));
  EXPECT_TRUE(frmMain->PhonebookRead);
  ExpectNamesLayout();
  EXPECT_EQ(Grid().Cells(3, 1), Anna);
  frmMain->KoComm->ClosePort();
}

TEST_F(NamesTest, AReadErrorKeepsWhatWasReadAndShowsTheNames) {
  TPhoneOptions Options;
  Options.PhonebookFailAt = 2;
  Start(Sim(), Options);
  ReadMessages();
  Boxes.Answer();
  frmMain->btnNamesClick();
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"+CME ERROR 100: Unknown."});
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\nAT+CSCS=\"UCS2\"\\r\\nAT+CPBR=1\\r\\nAT+CPBR=2\\r\\nAT+CSCS=\"IRA\"\\r\\n");
  ASSERT_EQ(frmMain->Phonebook.size(), 1u);
  EXPECT_EQ(frmMain->Phonebook[0].Name, Anna);
  // Not read to its end: the names found are shown, and the next showing reads the book again.
  EXPECT_FALSE(frmMain->PhonebookRead);
  ExpectNamesLayout();
  EXPECT_EQ(Grid().Cells(3, 1), Anna);
  EXPECT_EQ(Grid().Cells(3, 2), "");
  EXPECT_FALSE(frmProgress->isVisible());
  EXPECT_TRUE(frmMain->btnNames->isEnabled());
  frmMain->btnNamesClick();
  EXPECT_EQ(Received(), "");
  Boxes.Answer();
  frmMain->btnNamesClick();
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\nAT+CSCS=\"UCS2\"\\r\\nAT+CPBR=1\\r\\nAT+CPBR=2\\r\\nAT+CSCS=\"IRA\"\\r\\n");
  frmMain->KoComm->ClosePort();
}

// A phone that stops answering mid-way is still asked to switch back: a phone left in UCS2 would
// answer the service centre query in hex. The names read so far are shown; the book is not read.
TEST_F(NamesTest, ATimeOutMidwayStillSwitchesThePhoneBack) {
  TPhoneOptions Options;
  Options.Mute = {"AT+CPBR=2"};
  Start(Sim(), Options);
  ReadMessages();
  Boxes.Answer();
  frmMain->btnNamesClick();
  EXPECT_EQ(Boxes.Texts(), (std::vector<std::string>{"ERROR: No answer from phone (timeout)."}));
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\nAT+CSCS=\"UCS2\"\\r\\nAT+CPBR=1\\r\\nAT+CPBR=2\\r\\nAT+CSCS=\"IRA\"\\r\\n");
  ASSERT_EQ(frmMain->Phonebook.size(), 1u);
  EXPECT_FALSE(frmMain->PhonebookRead);
  ExpectNamesLayout();
  EXPECT_EQ(Grid().Cells(3, 1), Anna);
  EXPECT_FALSE(frmProgress->isVisible());
  EXPECT_TRUE(frmMain->btnRead->isEnabled());
  frmMain->KoComm->ClosePort();
}

// The character set switch refused: the phone is switched back all the same; the names are shown
// only when the phone book was read.
void NamesTest::RefusedCharset(const std::pair<std::string, std::string>& Fail, const std::vector<std::string>& Texts,
                               bool Read) {
  TPhoneOptions Options;
  Options.Fail = {Fail};
  Start(Sim(), Options);
  ReadMessages();
  const TGridState Plain = State();
  // Every box comes while the progress window still says what runs, the warning included.
  std::vector<bool> WithProgress;
  for (std::size_t I = 0; I < Texts.size(); ++I)
    Boxes.Answer(TBoxButton::OK, [&](const TBoxRequest&) { WithProgress.push_back(frmProgress->isVisible()); });
  frmMain->btnNamesClick();
  EXPECT_EQ(Boxes.Texts(), Texts);
  EXPECT_EQ(WithProgress, std::vector<bool>(Texts.size(), true));
  ASSERT_FALSE(Boxes.Shown.empty());
  EXPECT_EQ(Boxes.Shown.back().Kind, Read ? TBoxKind::Warning : TBoxKind::Error);
  const std::string Sent = Received();
  EXPECT_TRUE(Sent.starts_with("AT+CPBS?\\r\\nAT+CSCS=\"UCS2\"\\r\\n")) << Sent;
  EXPECT_TRUE(Sent.ends_with("AT+CSCS=\"IRA\"\\r\\n")) << Sent;
  EXPECT_EQ(Sent.find("AT+CPBR") != std::string::npos, Read);
  EXPECT_EQ(frmMain->PhonebookRead, Read);
  EXPECT_EQ(frmMain->NamesShown, Read);
  if (Read)
    EXPECT_EQ(Grid().Cells(3, 2), Juergen);
  else
    EXPECT_EQ(State(), Plain);
  EXPECT_FALSE(frmProgress->isVisible());
  // Row 1 holds a received message.
  EXPECT_EQ(EnabledControls(),
            "btnRead btnView btnNew btnSave btnDelete btnAnswer btnForward btnNames btnInfo btnExit sgMessages "
            "cbxCOMPort");
  frmMain->KoComm->ClosePort();
}

TEST_F(NamesTest, TheSwitchToUCS2Refused) {
  RefusedCharset({"AT+CSCS=\"UCS2\"", "+CME ERROR: 4"}, {"+CME ERROR 4: Operation not supported."}, false);
}

TEST_F(NamesTest, TheSwitchBackRefused) {
  RefusedCharset({"AT+CSCS=\"IRA\"", "ERROR"},
                 {"ERROR: Invalid command.", "Phone character set could not be set to back \"IRA\"."}, true);
}

TEST_F(NamesTest, ARefusedStorageQueryChangesNothing) {
  TPhoneOptions Options;
  Options.Fail = {{"AT+CPBS", "+CME ERROR: 3"}};
  Start(Sim(), Options);
  ReadMessages();
  const TGridState Plain = State();
  const std::string Before = EnabledControls();
  Boxes.Answer();
  frmMain->btnNamesClick();
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"+CME ERROR 3: Operation not allowed."});
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\n");
  EXPECT_EQ(State(), Plain);
  EXPECT_EQ(EnabledControls(), Before);
  EXPECT_FALSE(frmMain->PhonebookRead);
  frmMain->KoComm->ClosePort();
}

// A used count that is no number ends the click with an error box before anything changed.
TEST_F(NamesTest, AStorageReplyThatDoesNotParseChangesNothing) {
  TPhoneOptions Options;
  Options.Fail = {{"AT+CPBS", "+CPBS: \"SM\",many,250\r\n\r\nOK"}};  // the final result as given
  Start(Sim(), Options);
  ReadMessages();
  const TGridState Plain = State();
  const std::string Before = EnabledControls();
  frmMain->Phonebook = {{"+491711234567", "Someone"}};  // nothing is cleared before the count is known
  Boxes.Answer();
  frmMain->btnNamesClick();
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"'many' is not a valid integer value."});
  EXPECT_EQ(Received(), "AT+CPBS?\\r\\n");
  EXPECT_EQ(State(), Plain);
  EXPECT_EQ(EnabledControls(), Before);
  EXPECT_EQ(frmMain->Phonebook.size(), 1u);
  EXPECT_FALSE(frmMain->PhonebookRead);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  frmMain->KoComm->ClosePort();
}

// The buttons a finished reading brings back follow the row that is current.
TEST_F(NamesTest, TheButtonsThatComeBackFollowTheCurrentRow) {
  TSimCard Card = Sim();
  Card.Messages[4] = StatusReport();
  Start(Card);
  ReadMessages();
  ASSERT_EQ(Grid().Cells(0, 4), "?");
  const struct {
    int Row;
    const char* Enabled;
  } Cases[] = {
      {1,
       "btnRead btnView btnNew btnSave btnDelete btnAnswer btnForward btnNames btnInfo btnExit sgMessages cbxCOMPort"},
      {2, "btnRead btnView btnNew btnSave btnDelete btnForward btnNames btnInfo btnExit sgMessages cbxCOMPort"},
      {4, "btnRead btnNames btnInfo btnExit sgMessages cbxCOMPort"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Row);
    if (frmMain->NamesShown) frmMain->btnNamesClick();
    frmMain->PhonebookRead = false;  // read the phone book again
    Grid().SetRow(Case.Row);
    frmMain->btnNamesClick();
    ASSERT_TRUE(frmMain->NamesShown);
    EXPECT_NE(Received().find("AT+CPBR=1"), std::string::npos);
    EXPECT_EQ(Grid().Row(), Case.Row);
    EXPECT_EQ(EnabledControls(), Case.Enabled);
  }
  frmMain->KoComm->ClosePort();
}

// Hiding the names gives back exactly the grid of a plain reading, with a refused message and a
// status report among the rows, and also after a reading in the names layout.
TEST_F(NamesTest, HidingRestoresThePlainLayout) {
  TSimCard Card = Sim();
  Card.Messages[4] = Refused();
  Card.Messages[5] = StatusReport();
  Start(Card);
  Boxes.Answer();  // the refused message
  ReadMessages();
  ASSERT_EQ(Grid().Cells(0, 5), "?");
  ASSERT_EQ(Grid().Cells(2, 4), "ERROR");
  Grid().SetRow(2);
  const TGridState Plain = State();

  frmMain->btnNamesClick();
  ExpectNamesLayout();
  // The status report row moves with its columns; its Name stays empty.
  EXPECT_EQ(Grid().Cells(0, 5), "?");
  EXPECT_EQ(Grid().Cells(2, 5), "-");
  EXPECT_EQ(Grid().Cells(3, 5), "");
  EXPECT_EQ(Grid().Cells(4, 5), "-");
  EXPECT_EQ(Grid().Cells(5, 5), "<Status report>");
  EXPECT_EQ(Grid().Cells(2, 4), "ERROR");
  EXPECT_EQ(Grid().Objects(1, 4), frmMain->StatusBitmap(1));
  EXPECT_EQ(Grid().Row(), 2);

  frmMain->btnNamesClick();
  EXPECT_EQ(State(), Plain);

  // A reading in the names layout fills the Name column; hiding gives the plain reading's grid.
  frmMain->btnNamesClick();
  Grid().SetRow(2);
  Boxes.Answer();
  frmMain->btnReadClick();
  ExpectNamesLayout();
  EXPECT_EQ(Grid().Cells(3, 1), Anna);
  EXPECT_EQ(Grid().Cells(3, 2), Juergen);
  EXPECT_EQ(Grid().Cells(5, 5), "<Status report>");
  Grid().SetRow(2);
  frmMain->btnNamesClick();
  EXPECT_EQ(State(), Plain);
  frmMain->KoComm->ClosePort();
}

// Switching the layout runs no selection and moves no row, also when the current cell stands in
// the column that goes away: the controls stay as the operation under way has them.
TEST_F(NamesTest, SwitchingTheLayoutSelectsNothing) {
  Start();
  ReadMessages();
  frmMain->btnNamesClick();
  ASSERT_TRUE(frmMain->NamesShown);
  Grid().setCurrentCell(1, 5);  // row 2, the text column
  ASSERT_EQ(Grid().Row(), 2);
  int Selections = 0;
  const auto Handler = Grid().OnSelectCell;
  Grid().OnSelectCell = [&](int Col, int Row) {
    ++Selections;
    Handler(Col, Row);
  };
  // A reading that leaves the names layout for another port.
  TfrmMain::TOperationRunning Running(*frmMain, TfrmMain::TOperation::Reading);

  LeaveNamesLayout(*frmMain);
  EXPECT_EQ(Selections, 0);
  EXPECT_EQ(Grid().Row(), 2);
  EXPECT_EQ(Grid().currentColumn(), 4);
  EnterNamesLayout(*frmMain);
  EXPECT_EQ(Selections, 0);
  EXPECT_EQ(Grid().Row(), 2);
  EXPECT_EQ(EnabledControls(), "");

  // A user's selection still reaches the handler.
  Grid().setCurrentCell(0, 1);
  EXPECT_EQ(Selections, 1);
  frmMain->KoComm->ClosePort();
}

// Another port: the names layout goes, and so does the old phone's book.
TEST_F(NamesTest, AnotherPortForgetsThePhonebook) {
  Start();
  ReadMessages();
  frmMain->btnNamesClick();
  ASSERT_EQ(frmMain->Phonebook.size(), 3u);

  TSimCard Card = Sim();
  Card.Phonebook.clear();
  TSimPhone Second(Card);
  Second.Start();
  PointPort(5, Second.DevicePath());
  frmMain->cbxCOMPort->setCurrentIndex(4);
  frmMain->btnReadClick();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_FALSE(frmMain->NamesShown);
  EXPECT_FALSE(frmMain->PhonebookRead);
  EXPECT_TRUE(frmMain->Phonebook.empty());
  // A later matching finds nothing of the old phone's names.
  frmMain->ApplyNames();
  EXPECT_EQ(frmMain->Messages[0].Name, "");
  frmMain->KoComm->ClosePort();
  Second.Stop();
}

// Closing the window while the phone book is read ends the reading: no box, the port closed. The
// Exit button is disabled meanwhile; its handler, should it run, ends the reading the same way.
TEST_F(NamesTest, ClosingTheWindowEndsTheReading) {
  const struct {
    const char* Name;
    std::function<void()> Close;
    bool SwitchedBack;  // Exit closes the port first: the phone cannot be told any more
  } Ways[] = {
      {"close", [] { frmMain->close(); }, true},
      {"Exit", [] { frmMain->btnExitClick(); }, false},
  };
  TSimCard Card = Sim();
  Card.PhonebookTotal = 50;
  for (int Location = 5; Location <= 40; ++Location)
    Card.Phonebook[Location] = Pb("+49301234" + std::to_string(Location), "Name");
  Start(Card);
  for (const auto& Way : Ways) {
    SCOPED_TRACE(Way.Name);
    frmMain->show();
    ReadMessages();
    frmMain->PhonebookRead = false;
    bool ClosedWhileReading = false;
    QTimer::singleShot(700, frmMain, [&] {
      ClosedWhileReading = frmProgress->isVisible() && !frmMain->btnExit->isEnabled();
      Way.Close();
    });
    frmMain->btnNamesClick();
    EXPECT_TRUE(ClosedWhileReading);
    EXPECT_TRUE(Boxes.Shown.empty());
    EXPECT_FALSE(frmMain->KoComm->IsOpen());
    EXPECT_FALSE(frmMain->isVisible());
    EXPECT_FALSE(frmProgress->isVisible());
    EXPECT_FALSE(frmMain->NamesShown);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const std::string Sent = Received();
    EXPECT_EQ(Sent.ends_with("AT+CSCS=\"IRA\"\\r\\n"), Way.SwitchedBack) << Sent;
    EXPECT_EQ(Sent.find("AT+CPBR=30\\r\\n"), std::string::npos);
    // Let the application leave a quitting state, should closing the last window have begun one.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
  }
}

// The demo SIM shows its names beside its numbers.
TEST_F(NamesTest, TheDemoPhoneShowsNames) {
  Start(DemoSim());
  ReadMessages();
  frmMain->btnNamesClick();
  EXPECT_TRUE(Boxes.Shown.empty());
  ExpectNamesLayout();
  const auto Name = [&](const std::string& Address) {
    for (int R = 1; R < Grid().RowCount(); ++R)
      if (Grid().Cells(2, R) == Address) return Grid().Cells(3, R);
    return std::string("no such row");
  };
  EXPECT_EQ(Name("+4917612345678"), Anna);
  EXPECT_EQ(frmMain->Phonebook.size(), DemoSim().Phonebook.size());
  frmMain->KoComm->ClosePort();
}

}  // namespace
