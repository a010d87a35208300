// Composing from the main window: opening the compose dialog for a new message, an answer or a
// forward, and taking the messages stored from it into the list and the grid.
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <initializer_list>
#include <utility>

#include "forms/Cp1252String.h"
#include "forms/MSend.h"
#include "forms/Main.h"
#include "rules/ComposeText.h"
#include "rules/Phonebook.h"

using SMSEngine::TMessageList;

void TfrmMain::btnNewClick(QObject* Sender) {
  if (FCommandWaiting) return;
  // However the dialog closes, the keys come back to the grid of this window.
  struct TFocusBack {
    TfrmMain& Form;
    ~TFocusBack() { Form.FocusGrid(); }
  } FocusBack{*this};
  if (!frmSend) frmSend = new TfrmSend(this);
  frmSend->Build();

  if (PhoneSCA == "NULL") {
    // The main window's controls stay still while the address is asked for.
    TOperationRunning Running(*this, TOperation::ServiceCentre);
    // A phone without an address answers +CMS ERROR 330, which the exchange does not show.
    PhoneSCA = SendCommand("AT+CSCA?\r\n") ? ServiceCentreOfReply(ReplyBuffer) : std::string();
  }

  StoredIndex = -1;
  FStored = false;
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

  if (ReadAfterCompose) {
    // The phone stored a message without saying where: the list follows the phone again.
    ReadAfterCompose = false;
    FStored = false;
    btnReadClick();
    return;
  }
  if (!FStored) return;
  // The grid shows the list with the stored messages in their places, each with its phone book
  // name where one matches.
  FStored = false;
  MatchNames(Messages, Phonebook);
  ShowList();
  // Answer is offered on the current row whatever it holds, until the row moves.
  AnswerAfterStore = true;
  UpdateControls();
  lblMemory->setText(QStringLiteral("%1/%2").arg(MessagesUsed).arg(MessagesTotal));
}

void TfrmMain::AddStoredMessage(const TMessageList& Entry) {
  const std::size_t Position = StoredListPosition(Messages, Entry.Index);
  Messages.insert(Messages.begin() + static_cast<std::ptrdiff_t>(Position), Entry);
  ++MessagesUsed;
  StoredIndex = Entry.Index;
  FStored = true;
}
