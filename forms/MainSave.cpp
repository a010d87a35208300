// Saving messages as files: the selected one as text, or all of the list in one file.
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include "forms/Cp1252String.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/SaveText.h"
#include "rules/AndroidBackup.h"

namespace {

// However a dialog closes, the keys come back to the grid.
struct TFocusBack {
  TfrmMain& Form;
  ~TFocusBack() { Form.FocusGrid(); }
};

// The first line says what failed; the second where and why, in the system's words.
void CreateFailed(const std::string& FileName, const std::string& Reason) {
  const std::string Path = QStringToCp1252(FileSystemPath(FileName));
  ErrorBox("I/O ERROR: File could not be created.\r\n" + Path + ": " + Reason);
}

const char* const TextType = "Text (*.txt)";
const char* const BackupType = "Android SMS backup (*.xml)";

}  // namespace

void TfrmMain::btnSaveClick() {
  const int Row = CurrentMessageRow();
  if (!Row) return;
  // A copy: the list may change while the dialog keeps window messages flowing.
  const SMSEngine::TMessageList Entry = Messages[static_cast<std::size_t>(Row - 1)];
  TFocusBack FocusBack{*this};
  const auto FileName =
      Dialogs().SaveFileName({"Save message", ProposedFileName(Entry), TextType, "txt", SaveFolder()});
  if (!FileName) return;
  std::string Reason;
  if (!WriteTextFile(*FileName, MessageFileText(Entry), &Reason)) return CreateFailed(*FileName, Reason);
  RememberSaveFolder(*FileName);
}

void TfrmMain::miSaveAllClick() {
  if (!miSaveAll->isEnabled()) return;
  // The list as read, kept as it is now while the dialog keeps window messages flowing.
  const std::vector<SMSEngine::TMessageList> List = Messages;
  TFocusBack FocusBack{*this};
  std::string Type = TextType;
  const std::string Proposed = "SIM messages " + QDate::currentDate().toString(Qt::ISODate).toStdString();
  TSaveRequest Request{"Save all messages", Proposed, std::string(TextType) + ";;" + BackupType, "txt", SaveFolder()};
  Request.SelectedFilter = &Type;
  const auto FileName = Dialogs().SaveFileName(Request);
  if (!FileName) return;
  // The extension typed decides; without one of the two, the type selected does.
  const QString Suffix = QFileInfo(FileSystemPath(*FileName)).suffix().toLower();
  const bool Backup = Suffix == QLatin1String("xml") || (Suffix != QLatin1String("txt") && Type == BackupType);
  const QDateTime Now = QDateTime::currentDateTime();
  const std::string Bytes =
      Backup ? AndroidBackupXml(List, Now.toMSecsSinceEpoch(), Now.offsetFromUtc() / 60) : AllMessagesFileText(List);
  std::string Reason;
  if (!ReplaceFileContents(*FileName, Bytes, &Reason)) return CreateFailed(*FileName, Reason);
  RememberSaveFolder(*FileName);
}
