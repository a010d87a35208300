// What may be pressed in the main window at each moment of its work, and where the keys go after
// each operation, against the simulated phone.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>

#include "tests/support/FormsFixture.h"

namespace {

// A received message and a stored one of phones this program was used with.
const std::string Received = "0791198948004544040C9119894882006200007050307040042206CF35689E9603";
const std::string Stored = "0791361907001003B17A0C913619397750320000AD11CD701E340FB3C3F23CC81D0689C3BF";

// Rows 1 to 5: received read, stored unsent, received unread, stored sent, received read; row 6
// stands for a status report that the phone counts but does not list.
TSimCard Card() {
  TSimCard Sim;
  Sim.SCA = "+491710760000";
  Sim.MemoryTotal = 30;
  Sim.Messages = {{1, Sms(1, Received)}, {2, Sms(2, Stored)},   {3, Sms(0, Received)},
                  {4, Sms(3, Stored)},   {5, Sms(1, Received)}, {6, Sms(1, Received)}};
  Sim.Messages[6].Hidden = true;
  Sim.Phonebook[1] = {"+919884280026", 145, "Anna"};
  return Sim;
}

TPhoneOptions Quiet() {
  TPhoneOptions Options;
  Options.Echo = false;
  return Options;
}

constexpr const char* Start = "btnRead btnInfo btnExit cbxCOMPort";
constexpr const char* Everything =
    "btnRead btnView btnNew btnSave btnDelete btnAnswer btnForward btnNames btnInfo btnExit sgMessages cbxCOMPort";
constexpr const char* NoAnswer =
    "btnRead btnView btnNew btnSave btnDelete btnForward btnNames btnInfo btnExit sgMessages cbxCOMPort";
// A reading that failed with the port closed, or open: no list behind the grid.
constexpr const char* FailedClosed = "btnRead btnInfo btnExit sgMessages cbxCOMPort";
constexpr const char* FailedOpen = "btnRead btnNew btnNames btnInfo btnExit sgMessages cbxCOMPort";
// The phone has gone: a message can still be looked at, nothing asks the phone.
constexpr const char* PhoneGone =
    "btnRead btnView btnSave btnDelete btnAnswer btnForward btnInfo btnExit sgMessages cbxCOMPort";

class ControlsTest : public TFormsTest {
 public:
  using TFormsTest::Boxes;
  using TFormsTest::Phone;
  using TFormsTest::PointPort;

  // A reading of the card on COM 4, the current row then put on Row.
  void ReadAndPick(int Row, TPhoneOptions Options = Quiet()) {
    if (!Phone) StartPhone(Card(), Options);
    frmMain->btnReadClick();
    ASSERT_EQ(frmMain->sgMessages->RowCount(), 7);
    frmMain->sgMessages->SetRow(Row);
  }

  // Another reading, which fails with the one box Box; what is enabled after it.
  std::string ReadRefused(const std::string& Box) {
    Boxes.Answer();
    frmMain->btnReadClick();
    EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{Box});
    return EnabledControls();
  }

  // The enabled controls the first time Condition holds while Action runs, looked at every
  // millisecond; "(never)" when it never held.
  static std::string EnabledWhen(const std::function<bool()>& Condition, const std::function<void()>& Action) {
    std::string Seen = "(never)";
    QTimer Poll;
    Poll.setInterval(1);
    QObject::connect(&Poll, &QTimer::timeout, [&] {
      if (!Condition()) return;
      Seen = EnabledControls();
      Poll.stop();
    });
    Poll.start();
    Action();
    return Seen;
  }

  // The phone's behaviour from now on.
  void PhoneDoes(const std::function<void(TPhoneOptions&)>& Change) {
    TPhoneOptions Options = Quiet();
    Change(Options);
    Phone->SetOptions(Options);
  }

  // Opens the compose dialog with New and, once it shows, runs Inside and closes it.
  static void Compose(const std::function<void()>& Inside) {
    QTimer Open;
    Open.setInterval(5);
    QObject::connect(&Open, &QTimer::timeout, [&] {
      if (!frmSend->isVisible() || QApplication::activeModalWidget() != frmSend) return;
      Open.stop();
      Inside();
      if (frmSend->isVisible()) frmSend->reject();
    });
    Open.start();
    frmMain->btnNewClick(frmMain->btnNew);
  }

  // The phone goes away the first time Condition holds while Action runs.
  void HangUpWhen(const std::function<bool()>& Condition, const std::function<void()>& Action) {
    QTimer HangUp;
    HangUp.setInterval(1);
    QObject::connect(&HangUp, &QTimer::timeout, [&] {
      if (!Condition()) return;
      HangUp.stop();
      Phone->Stop();
    });
    HangUp.start();
    Action();
    EXPECT_FALSE(HangUp.isActive()) << "the moment never came";
  }

  // A message composed with New and sent or stored by Button; the phone's box of success is answered.
  void ComposeAndPress(QPushButton* TfrmSend::*Button) {
    Compose([&] {
      Type("12345", "hi");
      Boxes.Answer();
      (frmSend->*Button)->click();
    });
  }

  static void Type(const char* Destination, const char* Text) {
    frmSend->combxDA->setEditText(QString::fromLatin1(Destination));
    frmSend->memUD->setPlainText(QString::fromLatin1(Text));
  }
};

struct TMoment {
  const char* Name;
  std::function<std::string(ControlsTest&)> Reach;  // brings the window there, says what is enabled
  const char* Enabled;
};

class ControlsMoments : public ControlsTest, public ::testing::WithParamInterface<TMoment> {};

TEST_P(ControlsMoments, EveryControlFollowsWhatIsKnown) { EXPECT_EQ(GetParam().Reach(*this), GetParam().Enabled); }

const auto Always = [] { return true; };
const auto Waits = [] { return frmMain->CommandWaiting(); };

INSTANTIATE_TEST_SUITE_P(
    Moments, ControlsMoments,
    ::testing::Values(
        TMoment{"start", [](ControlsTest&) { return EnabledControls(); }, Start},
        // A second reading from message 5 of the first: the grid's reset moves the current row, and
        // that is no reason to offer anything.
        TMoment{"during the opening wait",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  frmMain->KoComm->ClosePort();
                  return T.EnabledWhen(Always, [] { frmMain->btnReadClick(); });
                },
                ""},
        TMoment{"during the listing",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.PhoneDoes([](TPhoneOptions& O) { O.DelayMs = 100; });
                  return T.EnabledWhen([] { return Waits() && frmProgress->isVisible(); },
                                       [] { frmMain->btnReadClick(); });
                },
                ""},
        TMoment{"after a reading that found no device",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.PointPort(2, "/nonexistent/pelmo-tty");
                  frmMain->cbxCOMPort->setCurrentIndex(frmMain->cbxCOMPort->findData(2));
                  return T.ReadRefused("Specified device not found (/nonexistent/pelmo-tty).");
                },
                FailedClosed},
        TMoment{"after a reading that found another phone",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  frmMain->KoComm->ClosePort();
                  T.PhoneDoes([](TPhoneOptions& O) { O.Fail = {{"AT+CGSN", "123456789012345\r\n\r\nOK"}}; });
                  return T.ReadRefused("ERROR: No Siemens S40 detected.");
                },
                FailedClosed},
        TMoment{"after a memory status error",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.PhoneDoes([](TPhoneOptions& O) { O.Fail = {{"AT+CPMS", "ERROR"}}; });
                  return T.ReadRefused("ERROR: Invalid command.");
                },
                FailedOpen},
        TMoment{"after a listing error",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.PhoneDoes([](TPhoneOptions& O) { O.Fail = {{"AT+CMGL", "ERROR"}}; });
                  return T.ReadRefused("ERROR: Invalid command.");
                },
                FailedOpen},
        TMoment{"after a listing, on a received message",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  return EnabledControls();
                },
                Everything},
        TMoment{"after a listing, on a stored message",
                [](ControlsTest& T) {
                  T.ReadAndPick(2);
                  return EnabledControls();
                },
                NoAnswer},
        TMoment{"on the status reports' row",
                [](ControlsTest& T) {
                  T.ReadAndPick(6);
                  return EnabledControls();
                },
                "btnRead btnNames btnInfo btnExit sgMessages cbxCOMPort"},
        TMoment{"during names",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  return T.EnabledWhen(Waits, [] { frmMain->btnNamesClick(); });
                },
                ""},
        TMoment{"after names",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  frmMain->btnNamesClick();
                  EXPECT_TRUE(frmMain->NamesShown);
                  return EnabledControls();
                },
                Everything},
        TMoment{"during a delete",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.Boxes.Answer(TBoxButton::Yes);
                  return T.EnabledWhen(Waits, [] { frmMain->btnDeleteClick(); });
                },
                "btnInfo btnExit"},
        // Row 3 then shows what was row 4, a stored message.
        TMoment{"after a delete",
                [](ControlsTest& T) {
                  T.ReadAndPick(3);
                  T.Boxes.Answer(TBoxButton::Yes);
                  frmMain->btnDeleteClick();
                  EXPECT_EQ(frmMain->sgMessages->Cells(0, 3), "4");
                  return EnabledControls();
                },
                NoAnswer},
        // The compose dialog is modal: the main window keeps its controls while the dialog's own
        // buttons wait for the phone.
        TMoment{"during a send",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  std::string Seen;
                  ControlsTest::Compose([&] {
                    ControlsTest::Type("12345", "hi");
                    T.Boxes.Answer();
                    Seen = T.EnabledWhen([] { return frmSend->Busy(); }, [] { frmSend->btnSend->click(); });
                  });
                  return Seen;
                },
                Everything},
        TMoment{"after a send",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.ComposeAndPress(&TfrmSend::btnSend);
                  return EnabledControls();
                },
                Everything},
        // Answer is offered on a stored message once a message was stored, until the row moves.
        TMoment{"after a store",
                [](ControlsTest& T) {
                  T.ReadAndPick(2);
                  T.ComposeAndPress(&TfrmSend::btnStore);
                  EXPECT_EQ(frmMain->sgMessages->RowCount(), 8);
                  return EnabledControls();
                },
                Everything},
        TMoment{"after a store, the row moved and back",
                [](ControlsTest& T) {
                  T.ReadAndPick(2);
                  T.ComposeAndPress(&TfrmSend::btnStore);
                  frmMain->sgMessages->SetRow(1);
                  frmMain->sgMessages->SetRow(2);
                  return EnabledControls();
                },
                NoAnswer},
        TMoment{"after the phone went away, idle",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.Boxes.Answer();
                  T.Phone->Stop();
                  EXPECT_TRUE(QTest::qWaitFor([&] { return !T.Boxes.Shown.empty(); }, 5000));
                  return EnabledControls();
                },
                PhoneGone},
        TMoment{"after the phone went away during a delete",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.PhoneDoes([](TPhoneOptions& O) { O.Mute = {"AT+CMGD"}; });
                  T.Boxes.Answer(TBoxButton::Yes);
                  T.Boxes.Answer();
                  T.HangUpWhen(Waits, [] { frmMain->btnDeleteClick(); });
                  EXPECT_EQ(T.Boxes.Texts(), (std::vector<std::string>{"Delete message in memory location #5?",
                                                                       "ERROR: Phone disconnected (COM 4)."}));
                  return EnabledControls();
                },
                PhoneGone},
        TMoment{"after the phone went away while the service centre was asked",
                [](ControlsTest& T) {
                  T.ReadAndPick(5);
                  T.PhoneDoes([](TPhoneOptions& O) { O.Mute = {"AT+CSCA"}; });
                  T.Boxes.Answer();
                  T.HangUpWhen(Waits, [] { ControlsTest::Compose([] {}); });
                  EXPECT_EQ(T.Boxes.Texts(), std::vector<std::string>{"ERROR: Phone disconnected (COM 4)."});
                  return EnabledControls();
                },
                PhoneGone}),
    [](const auto& Info) {
      std::string Name = Info.param.Name;
      for (char& C : Name)
        if (!std::isalnum(static_cast<unsigned char>(C))) C = '_';
      return Name;
    });

// Whatever control started an operation that had the grid off, the grid has the keys afterwards:
// Down moves the row, and Up never reaches the port list.
TEST_F(ControlsTest, TheGridHasTheKeysAfterEachOperation) {
  frmMain->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
  StartPhone(Card(), Quiet());
  struct TCase {
    const char* Name;
    QWidget* Start;
    std::function<void()> Run;
  } Cases[] = {
      {"reading", frmMain->btnRead, [] { frmMain->btnRead->click(); }},
      {"names", frmMain->btnNames, [] { frmMain->btnNames->click(); }},
      {"names hidden", frmMain->btnNames, [] { frmMain->btnNames->click(); }},
      {"delete", frmMain->btnDelete,
       [this] {
         Boxes.Answer(TBoxButton::Yes);
         frmMain->btnDelete->click();
       }},
      {"compose dialog left with Escape", frmMain->btnNew,
       [] { Compose([] { QTest::keyClick(frmSend, Qt::Key_Escape); }); }},
      {"save", frmMain->btnSave,
       [this] {
         Boxes.AnswerSave(std::nullopt);
         frmMain->btnSave->click();
       }},
      {"save all", frmMain->btnView,
       [this] {
         Boxes.AnswerSave(std::nullopt);
         frmMain->miSaveAll->trigger();
       }},
  };
  frmMain->btnReadClick();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    frmMain->sgMessages->SetRow(1);
    // The progress window of a reading may have had the activation meanwhile.
    frmMain->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
    Case.Start->setFocus();
    ASSERT_TRUE(Case.Start->hasFocus());
    Case.Run();
    QTest::qWait(20);
    // Where the keys go in the window.
    QWidget* Keys = frmMain->focusWidget();
    ASSERT_EQ(Keys, frmMain->sgMessages);
    const int Row = frmMain->sgMessages->Row();
    QTest::keyClick(Keys, Qt::Key_Down);
    EXPECT_EQ(frmMain->sgMessages->Row(), Row + 1);
    QTest::keyClick(Keys, Qt::Key_Up);
    EXPECT_EQ(frmMain->cbxCOMPort->currentData().toInt(), 4);
  }
}

// The phone goes away while the port opens: it is said once, and no time-out follows however long
// the user takes to read it.
TEST_F(ControlsTest, APhoneGoneWhileThePortOpensIsNoTimeOut) {
  StartPhone(Card(), Quiet());
  bool Opening = false;
  Boxes.Answer(TBoxButton::OK, [&](const TBoxRequest&) { QTest::qWait(TimeOutMs + 300); });
  // The first moment of a reading that opens the port is its opening wait.
  QTimer GoneNow;
  GoneNow.setSingleShot(true);
  GoneNow.setInterval(0);
  QObject::connect(&GoneNow, &QTimer::timeout, [&] {
    Opening = frmMain->KoComm->IsOpen() && !frmMain->CommandWaiting();
    frmMain->KoCommError(frmMain->KoComm.get(), KO_CE_IOE);
  });
  GoneNow.start();
  frmMain->btnReadClick();
  EXPECT_TRUE(Opening);
  EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"ERROR: Phone disconnected (COM 4)."});
  EXPECT_EQ(EnabledControls(), FailedClosed);
  EXPECT_FALSE(frmMain->Timer->isActive());
}

}  // namespace
