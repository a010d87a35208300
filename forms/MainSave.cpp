// Saving the selected message as a text file.
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/SaveText.h"

void TfrmMain::btnSaveClick() {
  const int Row = CurrentMessageRow();
  if (!Row) return;
  // A copy: the list may change while the dialog keeps window messages flowing.
  const SMSEngine::TMessageList Entry = Messages[static_cast<std::size_t>(Row - 1)];
  const auto FileName = Dialogs().SaveFileName({"Save message", ProposedFileName(Entry), "Text (*.txt)", "txt"});
  if (!FileName) return;
  if (!WriteTextFile(*FileName, MessageFileText(Entry))) ErrorBox("I/O ERROR: File could not be created.");
}
