// Composing from the main window: opening the compose dialog for a new message, an answer or a
// forward, and taking the messages stored from it into the list and the grid.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <initializer_list>
#include <utility>

#include "forms/ControlsLocked.h"
#include "forms/Cp1252String.h"
#include "forms/MSend.h"
#include "forms/Main.h"
#include "rules/ComposeText.h"

using SMSEngine::TMessageList;

void TfrmMain::btnNewClick(QObject* Sender) {
  if (FCommandWaiting) return;
  if (!frmSend) frmSend = new TfrmSend(this);
  frmSend->Build();

  if (PhoneSCA == "NULL") {
    // The main window's controls stay still while the address is asked for.
    TControlsLocked Locked(OperationControls(false, true));
    // A phone without an address answers +CMS ERROR 330, which the exchange does not show.
    PhoneSCA = SendCommand("AT+CSCA?\r\n") ? ServiceCentreOfReply(ReplyBuffer) : std::string();
  }

  StoredIndex = -1;
  FStoredRows.clear();
  ReadAfterCompose = false;

  // A copy: the list may change while the dialog is open.
  TMessageList Selected;
  if (const int Row = CurrentMessageRow()) Selected = Messages[static_cast<std::size_t>(Row - 1)];
  if (Sender == btnAnswer) {
    frmSend->setWindowTitle(QStringLiteral("Answer message"));
    frmSend->combxDA->setEditText(Cp1252ToQString(Selected.OA));
    frmSend->SetMemoText("");
  } else if (Sender == btnForward) {
    frmSend->setWindowTitle(QStringLiteral("Forward message"));
    frmSend->combxDA->setEditText(QString());
    frmSend->SetMemoText(Selected.UD);
  } else {
    frmSend->setWindowTitle(QStringLiteral("New message"));
    frmSend->combxDA->setEditText(QString());
    frmSend->SetMemoText("");
  }

  frmSend->exec();
  // However the dialog closed, the keys come back to this window.
  struct TFocusBack {
    TfrmMain& Form;
    ~TFocusBack() { Form.TakeFocusBack(); }
  } FocusBack{*this};

  if (ReadAfterCompose) {
    // The phone stored a message without saying where: the list follows the phone again.
    ReadAfterCompose = false;
    FStoredRows.clear();
    btnReadClick();
    return;
  }
  ShowStoredMessages();
}

void TfrmMain::AddStoredMessage(const TMessageList& Entry) {
  const std::size_t Position = StoredListPosition(Messages, Entry.Index);
  Messages.insert(Messages.begin() + static_cast<std::ptrdiff_t>(Position), Entry);
  ++MessagesUsed;
  StoredIndex = Entry.Index;
  FStoredRows.emplace_back(static_cast<int>(Position) + 1, Entry);
}

void TfrmMain::ShowStoredMessages() {
  if (FStoredRows.empty()) return;
  TStringGrid& Grid = *sgMessages;
  const int TimeCol = NamesShown ? 4 : 3;
  const int TextCol = NamesShown ? 5 : 4;
  // The rows are taken in the order the messages were stored, each into the list as it stood then.
  // The grid has one row per list entry: the phone's count may include messages it never lists.
  int Used = static_cast<int>(Messages.size() - FStoredRows.size());
  for (const auto& [Row, Entry] : FStoredRows) {
    ++Used;
    Grid.SetRowCount(Used + 1);
    for (int r = Used; r > Row; --r)
      for (int Col = 0; Col < Grid.ColCount(); ++Col) {
        Grid.SetCells(Col, r, Grid.Cells(Col, r - 1));
        Grid.SetObjects(Col, r, Grid.Objects(Col, r - 1));
      }
    for (int Col = 0; Col < Grid.ColCount(); ++Col) {
      Grid.SetCells(Col, Row, "");
      Grid.SetObjects(Col, Row, nullptr);
    }
    Grid.SetCells(0, Row, std::to_string(Entry.Index));
    Grid.SetObjects(1, Row, StatusBitmap(Entry.Status));
    Grid.SetCells(2, Row, Entry.DA);
    if (NamesShown) Grid.SetCells(3, Row, Entry.Name);
    Grid.SetCells(TimeCol, Row, "");
    Grid.SetCells(TextCol, Row, OneLineText(Entry.UD));
  }
  FStoredRows.clear();

  ApplyNames();
  // The buttons follow the current row: the status reports' row offers nothing.
  const bool Message = CurrentMessageRow() != 0;
  for (QPushButton* Button : {btnView, btnSave, btnDelete, btnAnswer, btnForward}) Button->setEnabled(Message);
  lblMemory->setText(QStringLiteral("%1/%2").arg(MessagesUsed).arg(MessagesTotal));
}
