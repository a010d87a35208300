// Saving the selected message from the window: the dialog's request, the file written, a cancel and
// the files that cannot be written.
#include <QDir>
#include <QFileDialog>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "forms/Cp1252String.h"
#include "forms/SaveText.h"
#include "tests/support/FormsFixture.h"

namespace {

std::string ReadBytes(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

class SaveWindowTest : public TFormsTest {
 protected:
  void SetUp() override {
    TFormsTest::SetUp();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    char Template[] = "/tmp/pelmo-save-XXXXXX";
    ASSERT_NE(::mkdtemp(Template), nullptr);
    Dir = Template;
    // Each test remembers its save folder in a settings folder of its own.
    Config = Dir + "/config";
    std::filesystem::create_directory(Config);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(Config));
    // Received read at 1, a stored unsent message at 9, a status report at 12 that is not listed.
    TSimCard Sim = DemoSim();
    Sim.Messages = {{1, Sim.Messages.at(1)}, {9, Sim.Messages.at(9)}, {12, Sim.Messages.at(12)}};
    StartPhone(Sim);
    frmMain->btnReadClick();
    ASSERT_TRUE(Boxes.Shown.empty());
    ASSERT_EQ(frmMain->sgMessages->Cells(0, 3), "?");
  }
  void TearDown() override {
    std::filesystem::remove_all(Dir);
    QLocale::setDefault(QLocale::system());
    TFormsTest::TearDown();
  }

  // Nothing but the settings folder.
  bool DirEmpty() const {
    return std::distance(std::filesystem::directory_iterator(Dir), std::filesystem::directory_iterator()) == 1;
  }

  std::string Dir;
  std::string Config;
};

TEST_F(SaveWindowTest, WritesTheSelectedMessageInItsLayout) {
  struct TCase {
    int Row;
    std::string Name, Proposed, Heading, AddressLine;
  } Cases[] = {
      {1, "", "SM from +4917612345678.txt", "INCOMING MESSAGE\r\n", "\r\n+4917612345678\r\n"},
      {1, "Anna/Work", "SM from Anna_Work.txt", "INCOMING MESSAGE\r\n", "\r\n+4917612345678 (Anna/Work)\r\n"},
      {2, "", "SM to +4916044455566.txt", "OUTGOING MESSAGE\r\n", "\r\n+4916044455566\r\n"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Proposed);
    frmMain->Messages[static_cast<std::size_t>(Case.Row - 1)].Name = Case.Name;
    frmMain->sgMessages->SetRow(Case.Row);
    const std::string Path = Dir + "/" + Case.Proposed;
    Boxes.AnswerSave(Path);
    frmMain->btnSave->click();

    ASSERT_EQ(Boxes.SaveAsked.size(), 1u);
    const TSaveRequest& Asked = Boxes.SaveAsked[0];
    EXPECT_EQ(Asked.Caption, "Save message");
    EXPECT_EQ(Asked.FileName, Case.Proposed);
    EXPECT_EQ(Asked.Filter, "Text (*.txt)");
    EXPECT_EQ(Asked.DefaultExt, "txt");
    Boxes.SaveAsked.clear();
    EXPECT_TRUE(Boxes.Shown.empty());
    const std::string Written = ReadBytes(Path);
    EXPECT_EQ(Written, MessageFileText(frmMain->Messages[static_cast<std::size_t>(Case.Row - 1)]));
    EXPECT_EQ(Written.rfind(Case.Heading, 0), 0u);
    EXPECT_NE(Written.find(Case.AddressLine), std::string::npos);
  }
}

TEST_F(SaveWindowTest, CancelWritesNothing) {
  frmMain->sgMessages->SetRow(1);
  Boxes.AnswerSave(std::nullopt);
  frmMain->btnSave->click();
  EXPECT_EQ(Boxes.SaveAsked.size(), 1u);
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_TRUE(DirEmpty());
}

// The program's text stays the first line; the second names the path and the system's reason.
TEST_F(SaveWindowTest, FilesThatCannotBeWrittenShowTheErrorBox) {
  const std::string Blocker = Dir + "/a file";
  std::ofstream(Blocker) << "x";
  frmMain->sgMessages->SetRow(2);
  const struct {
    std::string Path;
    int Error;
  } Cases[] = {
      {"/dev/full", ENOSPC},
      {Dir + "/no such folder/m.txt", ENOENT},
      {Blocker + "/m.txt", ENOTDIR},
      {Dir, EISDIR},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Path);
    Boxes.AnswerSave(Case.Path);
    Boxes.Answer();
    frmMain->btnSave->click();
    ASSERT_EQ(Boxes.Shown.size(), 1u);
    EXPECT_EQ(Boxes.Shown[0].Text, "I/O ERROR: File could not be created.\r\n" + Case.Path + ": " +
                                       QStringToCp1252(qt_error_string(Case.Error)));
    EXPECT_EQ(Boxes.Shown[0].Kind, TBoxKind::Error);
    EXPECT_EQ(Boxes.Shown[0].Caption, "Pelmo");
    Boxes.Shown.clear();
  }
  EXPECT_EQ(ReadBytes(Blocker), "x");
}

// The dialog opens where the last message was saved, also in the next run, while that folder
// exists; else in the documents folder. A failed save leaves the folder to remember as it was.
TEST_F(SaveWindowTest, TheDialogOpensInTheFolderLastSavedTo) {
  std::string Documents =
      QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).toStdString();
  if (!std::filesystem::is_directory(Documents)) Documents = QFile::encodeName(QDir::homePath()).toStdString();
  const std::string Kept = Dir + "/kept";
  std::filesystem::create_directory(Kept);
  frmMain->sgMessages->SetRow(1);
  const auto Save = [this](const std::optional<std::string>& Path, bool Fails = false) {
    Boxes.AnswerSave(Path);
    if (Fails) Boxes.Answer();
    frmMain->btnSave->click();
    Boxes.Shown.clear();
    const std::string Folder = Boxes.SaveAsked.at(0).Folder;
    Boxes.SaveAsked.clear();
    return Folder;
  };

  EXPECT_EQ(Save(Kept + "/first.txt"), Documents) << "nothing remembered yet";
  EXPECT_EQ(Save(std::nullopt), Kept);
  EXPECT_EQ(Save(Dir + "/no such folder/m.txt", true), Kept) << "a cancel and a failure change nothing";
  EXPECT_EQ(Save(Kept + "/again.txt"), Kept);

  // The next run reads it from the settings.
  EXPECT_EQ(SaveFolder(), Kept);
  EXPECT_TRUE(std::filesystem::exists(Config + "/Pelmo/Pelmo.conf"));
  std::filesystem::remove_all(Kept);
  EXPECT_EQ(SaveFolder(), Documents) << "a folder that is gone";
}

TEST_F(SaveWindowTest, NoDialogForTheStatusReportRow) {
  frmMain->sgMessages->SetRow(3);
  frmMain->btnSaveClick();
  EXPECT_TRUE(Boxes.SaveAsked.empty());
  EXPECT_TRUE(Boxes.Shown.empty());
}

// The program's own file dialog: its title, filter, extension and overwrite question, and a chosen
// path that keeps characters the code page does not have.
TEST_F(SaveWindowTest, TheRealSaveDialog) {
  const std::string Folder = Dir + "/\xD0\x94\xD0\xBE\xD0\xBA";
  std::filesystem::create_directory(Folder);
  frmMain->sgMessages->SetRow(1);
  SetDialogs(nullptr);
  std::string Seen, Opened;
  QTimer Poll;
  QObject::connect(&Poll, &QTimer::timeout, [&] {
    auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!Dialog) return;
    Poll.stop();
    SetDialogs(&Boxes);  // a box after the dialog is the scripted one again: a test never blocks on it
    Opened = QFile::encodeName(Dialog->directory().absolutePath()).toStdString();
    Seen = Dialog->windowTitle().toStdString() + "|" + Dialog->nameFilters().join(";").toStdString() + "|" +
           Dialog->defaultSuffix().toStdString() + "|" +
           Dialog->selectedFiles().value(0).section('/', -1).toStdString() + "|" +
           (Dialog->acceptMode() == QFileDialog::AcceptSave ? "save" : "open") + "|" +
           (Dialog->testOption(QFileDialog::DontConfirmOverwrite) ? "no question" : "question");
    Dialog->selectFile(QFile::decodeName(QByteArray::fromStdString(Folder + "/m.txt")));
    static_cast<QDialog*>(Dialog)->accept();  // the dialog's own checks run as for the Save button
  });
  Poll.start(20);
  const std::string Before = SaveFolder();
  frmMain->btnSave->click();
  SetDialogs(&Boxes);
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(Seen, "Save message|Text (*.txt)|txt|SM from +4917612345678.txt|save|question");
  EXPECT_EQ(ReadBytes(Folder + "/m.txt"), MessageFileText(frmMain->Messages[0]));
  EXPECT_EQ(Opened, Before) << "where nothing was saved before: the documents folder";
  EXPECT_EQ(SaveFolder(), Folder);
}

}  // namespace
