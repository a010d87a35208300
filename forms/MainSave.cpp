// Saving the selected message as a text file.
#include <QFile>

#include "forms/Cp1252String.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/SaveText.h"

void TfrmMain::btnSaveClick() {
  const int Row = CurrentMessageRow();
  if (!Row) return;
  // A copy: the list may change while the dialog keeps window messages flowing.
  const SMSEngine::TMessageList Entry = Messages[static_cast<std::size_t>(Row - 1)];
  // However the dialog closes, the keys come back to the grid.
  struct TFocusBack {
    TfrmMain& Form;
    ~TFocusBack() { Form.FocusGrid(); }
  } FocusBack{*this};
  const auto FileName =
      Dialogs().SaveFileName({"Save message", ProposedFileName(Entry), "Text (*.txt)", "txt", SaveFolder()});
  if (!FileName) return;
  std::string Reason;
  if (!WriteTextFile(*FileName, MessageFileText(Entry), &Reason)) {
    // The second line says where and why, in the system's words.
    const std::string Path = QStringToCp1252(FileSystemPath(*FileName));
    ErrorBox("I/O ERROR: File could not be created.\r\n" + Path + ": " + Reason);
    return;
  }
  RememberSaveFolder(*FileName);
}
