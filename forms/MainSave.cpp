// Saving the selected message as a text file.
#include "Dialogs.h"
#include "Main.h"
#include "MainDelete.h"
#include "SaveText.h"

void TfrmMain::btnSaveClick() {
  const int Row = MessageBehindRow(*this, sgMessages->Row());
  if (!Row) return;
  // A copy: the list may change while the dialog keeps window messages flowing.
  const SMSEngine::TMessageList Entry = Messages[static_cast<std::size_t>(Row - 1)];
  const auto FileName = Dialogs().SaveFileName({"Save message", ProposedFileName(Entry), "Text (*.txt)", "txt"});
  if (!FileName) return;
  if (!WriteTextFile(*FileName, MessageFileText(Entry))) ErrorBox("I/O ERROR: File could not be created.");
}
