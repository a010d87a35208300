// Saving every message of the list from the window: the grid's context menu and its keys, the
// dialog's two types, the files written for the demo SIM and for a SIM of real phones' PDUs, and
// the files that cannot be written.
#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "forms/Grid.h"
#include "forms/SaveText.h"
#include "rules/FullMessage.h"
#include "rules/MessageStatus.h"
#include "tests/support/FormsFixture.h"

namespace {

const char* const TextType = "Text (*.txt)";
const char* const BackupType = "Android SMS backup (*.xml)";

std::string ReadBytes(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

std::size_t Occurrences(const std::string& Text, const std::string& What) {
  std::size_t Count = 0;
  for (std::size_t At = Text.find(What); At != std::string::npos; At = Text.find(What, At + What.size())) ++Count;
  return Count;
}

// xmllint reads the whole file and says whether it is well-formed XML.
void ExpectWellFormed(const std::string& Path) {
  QProcess Lint;
  Lint.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QString::fromStdString(Path)});
  ASSERT_TRUE(Lint.waitForStarted()) << "xmllint is missing (package libxml2-utils)";
  ASSERT_TRUE(Lint.waitForFinished(60000));
  EXPECT_EQ(Lint.exitCode(), 0) << Lint.readAllStandardError().toStdString();
}

// The PDUs of real phones (id, kind, PDU, ...), each stored as the kind says: a received message
// as read, a submitted one as sent; the others (status reports, malformed records) as received.
TSimCard RealPhonesSim() {
  TSimCard Sim;
  Sim.SCA = "+491710760000";
  std::ifstream File(PELMO_ENGINE_TEST_DATA "/pdus.tsv");
  std::string Line;
  std::getline(File, Line);  // the column names
  int Location = 1;
  while (std::getline(File, Line)) {
    std::istringstream Columns(Line);
    std::string Id, Kind, PDU;
    if (!std::getline(Columns, Id, '\t') || !std::getline(Columns, Kind, '\t') || !std::getline(Columns, PDU, '\t'))
      continue;
    Sim.Messages[Location++] = Sms(Kind == "submit" ? SMSEngine::StatusStoredSent : SMSEngine::StatusReceivedRead, PDU);
  }
  Sim.MemoryTotal = Location + 10;
  return Sim;
}

class SaveAllTest : public TFormsTest {
 protected:
  void SetUp() override {
    TFormsTest::SetUp();
    char Template[] = "/tmp/pelmo-save-all-XXXXXX";
    ASSERT_NE(::mkdtemp(Template), nullptr);
    Dir = Template;
    std::filesystem::create_directory(Dir + "/config");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(Dir + "/config"));
  }
  void TearDown() override {
    std::filesystem::remove_all(Dir);
    TFormsTest::TearDown();
  }

  void Read(TSimCard Sim) {
    StartPhone(std::move(Sim));
    // The codec's refusals of single messages are not what these tests are about.
    SMSEngine::SetErrorReporter([](const std::string&) {});
    frmMain->show();
    frmMain->btnReadClick();
    ASSERT_TRUE(Boxes.Shown.empty()) << Boxes.Shown.front().Text;
    frmMain->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frmMain));
  }

  // Saves through Ctrl+Shift+S with the dialog answered by Name (in Dir) and the type Selected.
  std::string SaveAll(const std::string& Name, const std::string& Selected = {}) {
    const std::string Path = Dir + "/" + Name;
    Boxes.AnswerSave(Path, Selected);
    PressSaveAll();
    EXPECT_TRUE(Boxes.SaveAnswers.empty()) << "the dialog did not come";
    return Path;
  }

  // Ctrl+Shift+S as the window system brings it, through the window's shortcuts.
  static void PressSaveAll() {
    QTest::keyClick(frmMain->windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  }

  // The files in Dir, apart from the settings.
  std::vector<std::string> Files() const {
    std::vector<std::string> Names;
    for (const auto& Entry : std::filesystem::directory_iterator(Dir))
      if (Entry.path().filename() != "config") Names.push_back(Entry.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  std::string Dir;
};

TEST_F(SaveAllTest, TheMenuOffersWhatTheButtonsOfferAndSavingAll) {
  TStringGrid& Grid = *frmMain->sgMessages;
  // Before any reading the grid is off and there is nothing to save: the keys ask for no dialog.
  frmMain->show();
  PressSaveAll();
  EXPECT_FALSE(frmMain->miSaveAll->isEnabled());
  EXPECT_TRUE(Boxes.SaveAsked.empty());

  Read(DemoSim());
  const std::pair<QAction*, QPushButton*> Twins[] = {{frmMain->miView, frmMain->btnView},
                                                     {frmMain->miAnswer, frmMain->btnAnswer},
                                                     {frmMain->miForward, frmMain->btnForward},
                                                     {frmMain->miSave, frmMain->btnSave},
                                                     {frmMain->miDelete, frmMain->btnDelete}};
  // Each way of asking, on a received row, a stored one and the status reports' row (the last).
  const struct {
    const char* Way;
    std::function<void(int Row)> Ask;
  } Ways[] = {
      {"menu key",
       [&Grid](int Row) {
         Grid.SetRow(Row);
         QTest::keyClick(&Grid, Qt::Key_Menu);
       }},
      {"Shift+F10",
       [&Grid](int Row) {
         Grid.SetRow(Row);
         QTest::keyClick(&Grid, Qt::Key_F10, Qt::ShiftModifier);
       }},
      {"right button",
       [&Grid](int Row) {
         Grid.SetRow(1);
         const QPoint At = Grid.visualRect(Grid.model()->index(Row - 1, 2)).center();
         QContextMenuEvent Event(QContextMenuEvent::Mouse, At, Grid.viewport()->mapToGlobal(At));
         QApplication::sendEvent(Grid.viewport(), &Event);
       }},
  };
  const int Last = Grid.RowCount() - 1;
  ASSERT_TRUE(frmMain->StatusReportRow(Last));
  for (const auto& Way : Ways) {
    for (const int Row : {1, 9, Last}) {
      SCOPED_TRACE(std::string(Way.Way) + ", row " + std::to_string(Row));
      Way.Ask(Row);
      EXPECT_TRUE(frmMain->pmMessages->isVisible());
      EXPECT_EQ(Grid.Row(), Row);
      for (const auto& [Item, Button] : Twins)
        EXPECT_EQ(Item->isEnabled(), Button->isEnabled()) << Item->objectName().toStdString();
      EXPECT_EQ(frmMain->miView->isEnabled(), Row != Last);
      EXPECT_EQ(frmMain->miAnswer->isEnabled(), Row == 1);
      EXPECT_TRUE(frmMain->miSaveAll->isEnabled());
      frmMain->pmMessages->hide();
    }
  }

  // An item does what its button does: Save asks for the file of the current message.
  Grid.SetRow(1);
  Boxes.AnswerSave(std::nullopt);
  frmMain->miSave->trigger();
  ASSERT_EQ(Boxes.SaveAsked.size(), 1u);
  EXPECT_EQ(Boxes.SaveAsked[0].Caption, "Save message");

  // Saving all from the menu: its own dialog, in the remembered folder, with both types.
  Boxes.AnswerSave(std::nullopt);
  frmMain->miSaveAll->trigger();
  ASSERT_EQ(Boxes.SaveAsked.size(), 2u);
  const TSaveRequest& Asked = Boxes.SaveAsked[1];
  EXPECT_EQ(Asked.Caption, "Save all messages");
  EXPECT_EQ(Asked.FileName, "SIM messages " + QDate::currentDate().toString(Qt::ISODate).toStdString());
  EXPECT_EQ(Asked.Filter, std::string(TextType) + ";;" + BackupType);
  EXPECT_EQ(Asked.DefaultExt, "txt");
  EXPECT_EQ(Asked.Folder, SaveFolder());
  EXPECT_TRUE(Files().empty());
}

// The demo SIM into both files: every listed message with its PDU, the status reports left out.
TEST_F(SaveAllTest, TheTypedExtensionOrElseTheSelectedTypeDecides) {
  Read(DemoSim());
  const TSimCard Sim = DemoSim();
  const struct {
    const char* Name;
    const char* Selected;
    bool Backup;
  } Cases[] = {
      {"a.txt", "", false},    {"b.xml", "", true},  {"c.txt", BackupType, false}, {"d.XML", TextType, true},
      {"e", BackupType, true}, {"f.bak", "", false}, {"g.bak", BackupType, true},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    const std::string Path = SaveAll(Case.Name, Case.Selected);
    EXPECT_TRUE(Boxes.Shown.empty());
    const std::string Written = ReadBytes(Path);
    if (Case.Backup) {
      EXPECT_EQ(Written.rfind("<?xml", 0), 0u);
      ExpectWellFormed(Path);
      EXPECT_NE(Written.find("<smses count=\"11\">"), std::string::npos);
      EXPECT_EQ(Occurrences(Written, "<sms "), 11u);
      continue;
    }
    for (const auto& [Location, Message] : Sim.Messages) {
      if (Message.Hidden) continue;
      EXPECT_EQ(Occurrences(Written, "\r\nPDU: " + Message.PDU + "\r\n"), 1u) << Location;
      EXPECT_NE(Written.find("INDEX:\r\n" + std::to_string(Location) + "\r\n"), std::string::npos) << Location;
    }
    EXPECT_EQ(Occurrences(Written, "PDU: "), 11u);
    EXPECT_EQ(Written.find("<Status report>"), std::string::npos);
    // One empty line between two messages, none after the last.
    EXPECT_EQ(
        Occurrences(Written, "\r\n\r\nINCOMING MESSAGE\r\n") + Occurrences(Written, "\r\n\r\nOUTGOING MESSAGE\r\n"),
        10u);
    const std::string LastLine = "\r\nPDU: " + Sim.Messages.rbegin()->second.PDU + "\r\n";
    EXPECT_EQ(Written.substr(Written.size() - LastLine.size()), LastLine);
  }
  EXPECT_EQ(Files().size(), std::size(Cases)) << "a temporary file was left";
}

// Real phones' PDUs, the ones the viewer refuses too: every location is in both files.
TEST_F(SaveAllTest, ASimOfRealPhonesPDUsLeavesNothingOut) {
  const TSimCard Sim = RealPhonesSim();
  Read(Sim);
  ASSERT_EQ(frmMain->Messages.size(), Sim.Messages.size());
  const std::string Text = ReadBytes(SaveAll("all.txt"));
  for (const auto& [Location, Message] : Sim.Messages) {
    EXPECT_EQ(Occurrences(Text, "\r\nPDU: " + Message.PDU + "\r\n"), 1u) << Location;
    EXPECT_NE(Text.find("INDEX:\r\n" + std::to_string(Location) + "\r\n"), std::string::npos) << Location;
  }
  const std::string Backup = SaveAll("all.xml");
  ExpectWellFormed(Backup);
  const std::string Xml = ReadBytes(Backup);
  // Parts of one long message become one; nothing else is merged or dropped.
  const std::size_t Joined = JoinMessages(frmMain->Messages).size();
  EXPECT_LT(Joined, Sim.Messages.size());
  EXPECT_EQ(Occurrences(Xml, "<sms "), Joined);
  EXPECT_NE(Xml.find("<smses count=\"" + std::to_string(Joined) + "\">"), std::string::npos);
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(SaveAllTest, FilesThatCannotBeWrittenAreNeverLeftHalfWritten) {
  Read(DemoSim());
  const std::string Blocker = Dir + "/a file";
  std::ofstream(Blocker) << "x";
  const std::string Kept = Dir + "/kept.txt";
  std::ofstream(Kept) << "before";
  std::filesystem::create_directory(Dir + "/folder");
  for (const std::string& Path : {Dir + "/no such folder/all.txt", Blocker + "/all.xml", Dir + "/folder"}) {
    SCOPED_TRACE(Path);
    Boxes.AnswerSave(Path);
    Boxes.Answer();
    frmMain->miSaveAll->trigger();
    ASSERT_EQ(Boxes.Shown.size(), 1u);
    const std::string& Box = Boxes.Shown[0].Text;
    const std::string First = "I/O ERROR: File could not be created.\r\n";
    EXPECT_EQ(Box.rfind(First + Path + ": ", 0), 0u) << Box;
    EXPECT_GT(Box.size(), First.size() + Path.size() + 2) << "no reason given";
    Boxes.Shown.clear();
  }
  EXPECT_EQ(Files(), (std::vector<std::string>{"a file", "folder", "kept.txt"}));
  EXPECT_EQ(ReadBytes(Kept), "before");
  // An existing file is replaced whole.
  SaveAll("kept.txt");
  EXPECT_EQ(ReadBytes(Kept).rfind("INCOMING MESSAGE\r\n", 0), 0u);
  EXPECT_EQ(Files(), (std::vector<std::string>{"a file", "folder", "kept.txt"}));
}

}  // namespace
