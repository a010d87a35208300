// Deleting messages from the window, against the simulated phone: what the list, the grid, the
// buttons and the label show afterwards, and what the phone's SIM still holds.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FormsFixture.h"

extern char** environ;

namespace {

// Four messages of the demo SIM: received read, received unread, stored unsent, stored sent.
TSimCard FourMessages() {
  const TSimCard Demo = DemoSim();
  TSimCard Sim = Demo;
  Sim.Messages.clear();
  for (int Location : {1, 3, 9, 10}) Sim.Messages[Location] = Demo.Messages.at(Location);
  return Sim;
}

TSimCard Only(const TSimCard& Sim, std::vector<int> Locations) {
  TSimCard Result = Sim;
  Result.Messages.clear();
  for (int Location : Locations) Result.Messages[Location] = Sim.Messages.at(Location);
  return Result;
}

class DeleteTest : public TFormsTest {
 protected:
  TStringGrid& Grid() { return *frmMain->sgMessages; }

  void Read() {
    frmMain->btnReadClick();
    ASSERT_TRUE(Boxes.Shown.empty());
  }

  // The grid as "location:status" per row, the status taken from the row's picture ("-": none).
  std::vector<std::string> Rows() {
    std::vector<std::string> Rows;
    for (int Row = 1; Row < Grid().RowCount(); ++Row) {
      std::string Status = "-";
      for (int S = 0; S < 4; ++S)
        if (Grid().Objects(1, Row) == frmMain->StatusBitmap(S)) Status = std::to_string(S);
      Rows.push_back(Grid().Cells(0, Row) + ":" + Status + " " + Grid().Cells(2, Row));
    }
    return Rows;
  }

  std::vector<int> Listed() {
    std::vector<int> Indexes;
    for (const auto& Entry : frmMain->Messages) Indexes.push_back(Entry.Index);
    return Indexes;
  }

  std::string Enabled() {
    std::string Text;
    for (QPushButton* Button :
         {frmMain->btnView, frmMain->btnSave, frmMain->btnDelete, frmMain->btnAnswer, frmMain->btnForward})
      if (Button->isEnabled()) Text += Button->objectName().toStdString().substr(3) + " ";
    return Text;
  }

  int Sent(const std::string& Command) {
    return static_cast<int>(frmMain->memLog->toPlainText().count(QString::fromStdString(Command)));
  }

  static void ByButton() { frmMain->btnDelete->click(); }
  static void ByKey() { QTest::keyClick(frmMain->sgMessages, Qt::Key_Delete); }
};

struct TDeleteCase {
  const char* Name;
  int Row;
  bool Key;
  std::vector<int> Left;  // locations still listed
  int Selected;           // the row selected afterwards
  std::string Buttons;
};

TEST_F(DeleteTest, FirstMiddleAndLastRowByButtonAndKey) {
  const TSimCard Sim = FourMessages();
  StartPhone(Sim);
  const TDeleteCase Cases[] = {
      {"first by button", 1, false, {3, 9, 10}, 1, "View Save Delete Answer Forward "},
      {"first by key", 1, true, {3, 9, 10}, 1, "View Save Delete Answer Forward "},
      {"middle by button", 2, false, {1, 9, 10}, 2, "View Save Delete Forward "},
      {"middle by key", 3, true, {1, 3, 10}, 3, "View Save Delete Forward "},
      {"last by button", 4, false, {1, 3, 9}, 3, "View Save Delete Forward "},
      {"last by key", 4, true, {1, 3, 9}, 3, "View Save Delete Forward "},
  };
  for (const TDeleteCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Phone->SetSim(Sim);
    Read();
    const std::vector<std::string> Before = Rows();
    Grid().SetRow(Case.Row);
    Grid().setFocus();
    const int Location = frmMain->Messages[static_cast<std::size_t>(Case.Row - 1)].Index;
    Boxes.Answer(TBoxButton::Yes);
    Case.Key ? ByKey() : ByButton();

    EXPECT_EQ(Boxes.Texts(),
              std::vector<std::string>{"Delete message in memory location #" + std::to_string(Location) + "?"});
    EXPECT_EQ(Boxes.Shown[0].Kind, TBoxKind::Confirmation);
    Boxes.Shown.clear();
    EXPECT_EQ(Listed(), Case.Left);
    std::vector<std::string> After = Before;
    After.erase(After.begin() + (Case.Row - 1));
    EXPECT_EQ(Rows(), After);  // every other row moved up with its cells and picture
    EXPECT_EQ(Grid().Row(), Case.Selected);
    EXPECT_EQ(Enabled(), Case.Buttons);
    EXPECT_EQ(frmMain->MessagesUsed, 3);
    EXPECT_EQ(frmMain->lblMemory->text(), "3/30");
    EXPECT_TRUE(Grid().isEnabled());
    EXPECT_TRUE(frmMain->btnRead->isEnabled());
    // The phone no longer holds exactly that message and still holds every other one as it was.
    const TSimCard Now = Phone->Sim();
    TSimCard Expected = Only(Sim, Case.Left);
    ASSERT_EQ(Now.Messages.size(), Expected.Messages.size());
    for (const auto& [Loc, Message] : Expected.Messages) {
      ASSERT_TRUE(Now.Messages.count(Loc)) << Loc;
      EXPECT_EQ(Now.Messages.at(Loc).PDU, Message.PDU);
    }
  }
}

TEST_F(DeleteTest, TheOnlyMessageLeavesAnEmptyRow) {
  const TSimCard Sim = Only(FourMessages(), {9});
  StartPhone(Sim);
  for (const auto& Action : {std::function<void()>(ByButton), std::function<void()>(ByKey)}) {
    Phone->SetSim(Sim);
    Read();
    Grid().SetRow(1);
    Boxes.Answer(TBoxButton::Yes);
    Action();
    EXPECT_EQ(Boxes.Texts(), std::vector<std::string>{"Delete message in memory location #9?"});
    Boxes.Shown.clear();
    EXPECT_TRUE(frmMain->Messages.empty());
    EXPECT_EQ(Grid().RowCount(), 2);
    for (int Col = 0; Col < Grid().ColCount(); ++Col) EXPECT_EQ(Grid().Cells(Col, 1), "") << Col;
    EXPECT_EQ(Grid().Objects(1, 1), nullptr);
    EXPECT_EQ(Enabled(), "");
    EXPECT_EQ(frmMain->lblMemory->text(), "0/30");
    EXPECT_TRUE(Phone->Sim().Messages.empty());
    // Nothing is left to delete on that row.
    ByKey();
    frmMain->btnDeleteClick();
    EXPECT_TRUE(Boxes.Shown.empty());
  }
}

struct TRefusal {
  const char* Name;
  TBoxButton Answer;
  std::function<void(TSimPhone&)> Prepare;
  std::vector<std::string> Boxes;  // after the question
};

TEST_F(DeleteTest, NoErrorAndTimeOutChangeNothing) {
  const TSimCard Sim = FourMessages();
  StartPhone(Sim);
  const TRefusal Cases[] = {
      {"No", TBoxButton::No, [](TSimPhone&) {}, {}},
      {"error reply",
       TBoxButton::Yes,
       [](TSimPhone& Phone) {
         TPhoneOptions Options;
         Options.Fail = {{"AT+CMGD", "ERROR"}};
         Phone.SetOptions(Options);
       },
       {"ERROR: Invalid command."}},
      {"time-out",
       TBoxButton::Yes,
       [](TSimPhone& Phone) {
         TPhoneOptions Options;
         Options.Mute = {"AT+CMGD"};
         Phone.SetOptions(Options);
       },
       {"ERROR: No answer from phone (timeout)."}},
  };
  for (const TRefusal& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Phone->SetOptions({});
    Phone->SetSim(Sim);
    Read();
    Case.Prepare(*Phone);
    const std::vector<std::string> Before = Rows();
    const std::vector<int> Listing = Listed();
    Grid().SetRow(2);
    const std::string Buttons = Enabled();
    const int SentBefore = Sent("AT+CMGD=3");
    Boxes.Answer(Case.Answer);
    std::string DuringWait;
    for (std::size_t I = 0; I < Case.Boxes.size(); ++I)
      Boxes.Answer(TBoxButton::OK, [&](const TBoxRequest&) {
        // The error box comes while the command still waits: nothing may start another one.
        for (QWidget* Control : std::initializer_list<QWidget*>{
                 frmMain->sgMessages, frmMain->btnRead, frmMain->btnView, frmMain->btnNew, frmMain->btnSave,
                 frmMain->btnDelete, frmMain->btnAnswer, frmMain->btnForward, frmMain->btnNames, frmMain->cbxCOMPort})
          if (Control->isEnabled()) DuringWait += Control->objectName().toStdString() + " ";
      });
    ByButton();

    std::vector<std::string> Expected = {"Delete message in memory location #3?"};
    Expected.insert(Expected.end(), Case.Boxes.begin(), Case.Boxes.end());
    EXPECT_EQ(Boxes.Texts(), Expected);
    Boxes.Shown.clear();
    EXPECT_EQ(DuringWait, "");
    EXPECT_EQ(Rows(), Before);
    EXPECT_EQ(Listed(), Listing);
    EXPECT_EQ(Grid().Row(), 2);
    EXPECT_EQ(Enabled(), Buttons);
    EXPECT_TRUE(Grid().isEnabled());
    EXPECT_TRUE(frmMain->btnRead->isEnabled());
    EXPECT_TRUE(frmMain->cbxCOMPort->isEnabled());
    EXPECT_EQ(frmMain->MessagesUsed, 4);
    EXPECT_EQ(frmMain->lblMemory->text(), "4/30");
    EXPECT_EQ(Phone->Sim().Messages.size(), 4u);
    EXPECT_TRUE(frmMain->KoComm->IsOpen());
    EXPECT_EQ(Sent("AT+CMGD=3") > SentBefore, Case.Answer == TBoxButton::Yes);
  }
}

// A status report takes a place that the phone does not list: its "?" row is never deleted, and it
// moves up like every other row when a message above it goes.
TEST_F(DeleteTest, TheStatusReportRowStays) {
  TSimCard Sim = Only(FourMessages(), {1, 3});
  TSimMessage Report;
  Report.Status = 1;
  Report.PDU = "07914356060013F1065A098136395339F6219011700463802190117004638030";
  Report.Hidden = true;
  Sim.Messages[4] = Report;
  StartPhone(Sim);
  Read();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"1:1 +4917612345678", "3:0 +4915198765432", "?:- -"}));

  Grid().SetRow(3);
  Grid().setFocus();
  ByKey();
  frmMain->btnDeleteClick();
  frmMain->DeleteMessage(0);  // the location of the entry behind the "?" row
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(Sent("AT+CMGD"), 0);

  Grid().SetRow(1);
  Boxes.Answer(TBoxButton::Yes);
  ByButton();
  EXPECT_EQ(Rows(), (std::vector<std::string>{"3:0 +4915198765432", "?:- -"}));
  EXPECT_EQ(frmMain->lblMemory->text(), "2/30");
  EXPECT_EQ(Grid().Row(), 1);
  EXPECT_EQ(Enabled(), "View Save Delete Answer Forward ");
  Grid().SetRow(2);
  EXPECT_EQ(Enabled(), "");
}

// A phone whose count lags behind its listing: only the deleted entry leaves the list, every other
// one stays in view.
TEST_F(DeleteTest, OnlyTheDeletedEntryLeavesTheList) {
  StartPhone(FourMessages());
  Read();
  frmMain->MessagesUsed = 2;
  Grid().SetRow(1);
  Boxes.Answer(TBoxButton::Yes);
  ByButton();
  EXPECT_EQ(Listed(), (std::vector<int>{3, 9, 10}));
  EXPECT_EQ(Grid().RowCount(), 4);
  EXPECT_EQ(Grid().Cells(0, 3), "10");
  EXPECT_EQ(frmMain->lblMemory->text(), "1/30");
}

// The same through the program pelmo-phone: the SIM file it writes back on exit no longer holds the
// deleted message and still holds every other one.
TEST_F(DeleteTest, TheSavedSimOfTheSimulatedPhone) {
  const std::filesystem::path Dir =
      std::filesystem::temp_directory_path() / ("pelmo-delete-" + std::to_string(::getpid()));
  std::filesystem::remove_all(Dir);  // left over from an earlier run that failed
  std::filesystem::create_directories(Dir);
  const std::string SimFile = (Dir / "phone.sim").string();
  const std::string Link = (Dir / "phone").string();
  const TSimCard Sim = FourMessages();
  SaveSimFile(Sim, SimFile);

  std::vector<std::string> Args = {PELMO_PHONE_PROGRAM, "--link", Link, "--sim", SimFile, "--save"};
  std::vector<char*> Argv;
  for (auto& Arg : Args) Argv.push_back(Arg.data());
  Argv.push_back(nullptr);
  // The phone ends on every way out of the test, also a failed assertion.
  struct TProcess {
    pid_t Pid = -1;
    int Stop() {
      int Status = -1;
      if (Pid > 0 && ::kill(Pid, SIGTERM) == 0 && ::waitpid(Pid, &Status, 0) == Pid) Pid = -1;
      return Status;
    }
    ~TProcess() { Stop(); }
  } Process;
  ASSERT_EQ(posix_spawn(&Process.Pid, Argv[0], nullptr, nullptr, Argv.data(), environ), 0);
  for (int I = 0; I < 100 && !std::filesystem::exists(Link); ++I)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  PointPort(4, Link);

  Read();
  Grid().SetRow(3);  // location 9
  Boxes.Answer(TBoxButton::Yes);
  ByButton();
  frmMain->KoComm->ClosePort();
  const int Status = Process.Stop();
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;

  const TSimCard Saved = LoadSimFile(SimFile);
  std::filesystem::remove_all(Dir);
  ASSERT_EQ(Saved.Messages.size(), 3u);
  for (int Location : {1, 3, 10}) {
    ASSERT_TRUE(Saved.Messages.count(Location)) << Location;
    EXPECT_EQ(Saved.Messages.at(Location).PDU, Sim.Messages.at(Location).PDU);
  }
  EXPECT_FALSE(Saved.Messages.count(9));
}

// Deleting by the key gives the focus back to the grid, so the next key goes there too.
TEST_F(DeleteTest, TheGridKeepsTheFocus) {
  StartPhone(FourMessages());
  frmMain->show();
  Read();
  // The progress window came and went: the main window takes the activation back.
  frmMain->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
  Grid().SetRow(2);
  Grid().setFocus();
  ASSERT_TRUE(Grid().hasFocus());
  Boxes.Answer(TBoxButton::Yes);
  ByKey();
  EXPECT_EQ(Listed(), (std::vector<int>{1, 9, 10}));
  EXPECT_TRUE(Grid().hasFocus());
  frmMain->close();
}

}  // namespace
