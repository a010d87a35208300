// The main window: the message list and its grid, the buttons of every operation, the hidden
// communication log, and the AT command exchange with the phone (SendCommand and the reply
// recogniser), which every phone operation goes through.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "engine/SMSEngine.h"
#include "forms/Grid.h"
#include "link/KoComm.h"
#include "rules/Phonebook.h"
#include "rules/Reply.h"

class QAction;
class QComboBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TCommLog;

// The hourglass for the whole application while it lives; restored on every way out.
class TWaitCursor {
 public:
  TWaitCursor();
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// A label whose width follows its text, growing to the right from where it stands.
class TAutoSizeLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void setText(const QString& Text);

 protected:
  void changeEvent(QEvent* Event) override;
};

class TfrmMain : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmMain(QWidget* Parent = nullptr);
  ~TfrmMain() override;

  // Components.
  TStringGrid* sgMessages;
  TAutoSizeLabel* lblMemory;
  QLabel* imgStatus0;
  QLabel* imgStatus1;
  QLabel* imgStatus2;
  QLabel* imgStatus3;
  QComboBox* cbxCOMPort;
  QPushButton* btnRead;
  QPushButton* btnView;
  QPushButton* btnNew;
  QPushButton* btnSave;
  QPushButton* btnDelete;
  QPushButton* btnAnswer;
  QPushButton* btnForward;
  QPushButton* btnNames;
  QPushButton* btnInfo;
  QPushButton* btnExit;
  QPlainTextEdit* memLog;
  // The grid's context menu: the buttons' actions for the current row, and saving all messages.
  QMenu* pmMessages;
  QAction* miView;
  QAction* miAnswer;
  QAction* miForward;
  QAction* miSave;
  QAction* miDelete;
  QAction* miSaveAll;  // also Ctrl+Shift+S anywhere in the window
  QTimer* Timer;       // the exchange's time-out, 5000 ms
  std::unique_ptr<TKoComm> KoComm;

  // State of the window.
  bool ReplyComplete = false;
  bool ReplyOK = false;
  bool TimedOut = false;
  bool NamesShown = false;
  int ListingCount = 0;
  std::string ReplyBuffer;
  int MessagesTotal = 0;
  int MessagesUsed = 0;
  std::string PhoneSCA = "NULL";
  std::vector<SMSEngine::TMessageList> Messages;
  int StoredIndex = -1;
  bool PhonebookRead = false;
  std::vector<TPhonebookList> Phonebook;

  // The bitmap of imgStatus0 ... imgStatus3 for a message status; nullptr for any other status.
  const QPixmap* StatusBitmap(int Status) const;

  // Writes one command text exactly as given and waits for the phone's final result, keeping
  // window messages flowing. True for OK or the PDU prompt; false for ERROR, +CME ERROR,
  // +CMS ERROR or the time-out, which the user has already been told of (except +CMS ERROR 330).
  // A call while another command is still waiting is refused at once with false and leaves the
  // waiting command alone.
  // RefusalNote, when given, is a second line for the box of the phone's refusal of this command.
  bool SendCommand(const std::string& Command, const std::string& RefusalNote = {});
  // Waits in 100 ms passes that keep window messages flowing until ReplyComplete or TimedOut.
  void WaitReply();
  // True while SendCommand waits for a reply.
  bool CommandWaiting() const { return FCommandWaiting; }
  // Opens the port and waits until the channel reports it open, within the time-out (whose box
  // the user has seen when it runs out). False when it did not open in time.
  bool OpenPortAndWait();
  // Ends the command that waits now as failed, without a box: the window closes, or the
  // application quits.
  void AbandonCommand();
  // After a command that ran out of time the phone may still wait for a message's PDU and would
  // take every later command for one: Esc makes it drop the message.
  void CancelPDUPrompt();
  // The exchange's time-out when no operation asks for another.
  static constexpr int NormalTimeOut = 5000;
  // A time-out of its own for the commands of one operation; the normal one is back when the
  // operation ends, by whatever way.
  class TTimeOutFor {
   public:
    TTimeOutFor(TfrmMain& Form, int Milliseconds);
    ~TTimeOutFor();
    TTimeOutFor(const TTimeOutFor&) = delete;
    TTimeOutFor& operator=(const TTimeOutFor&) = delete;

   private:
    TfrmMain& FForm;
  };

  // Appends text as it was written or received to the communication log.
  void AppendLog(const std::string& Text);

  // Operations that several parts of the program call.
  void ViewMessage(int ListPos);  // shows the entry at list position ListPos (1-based)
  void DeleteMessage(int Index);  // deletes the message at memory location Index
  void ApplyNames();              // matches phone book names to the listed numbers

  // A message the compose dialog has just stored at memory location Entry.Index joins the list in
  // its place by location; the grid shows it when the dialog closes.
  void AddStoredMessage(const SMSEngine::TMessageList& Entry);
  // The phone stored a message without telling where: the list is read again once the dialog closes.
  bool ReadAfterCompose = false;

  // ---- What may be pressed ----
  // The phone operations of the window. While one runs, its commands wait with window messages
  // flowing, so the controls that could start another one are off.
  enum class TOperation {
    None,
    Reading,        // everything off
    Names,          // the phone book is read: everything off
    Delete,         // Info and Exit stay on
    ServiceCentre,  // the compose dialog asks for the address first: Info stays on
  };
  TOperation Operation = TOperation::None;
  // Marks an operation for its scope; the controls follow at its start and on every way out.
  class TOperationRunning {
   public:
    TOperationRunning(TfrmMain& Form, TOperation Operation);
    ~TOperationRunning();
    TOperationRunning(const TOperationRunning&) = delete;
    TOperationRunning& operator=(const TOperationRunning&) = delete;

   private:
    TfrmMain& FForm;
    TOperation FOuter;
  };
  // A reading has ended (whatever its outcome): the grid is there to be used.
  bool ReadingDone = false;
  // Messages is what the last reading listed, with what was stored and deleted since. False before
  // the first reading, and from the start of each reading until its listing (or a memory without
  // messages) is in: a reading that fails leaves no list behind the grid.
  bool ListingProcessed = false;
  // A message was just stored and the current row has not moved since: Answer is offered whatever
  // the row's message is.
  bool AnswerAfterStore = false;
  // Sets every control of the window from what is known now: the operation that runs, the port,
  // the list and the message behind the current row. Never kept, always derived.
  void UpdateControls();
  // The grid takes the keys after an operation that had it off; Read messages when the grid is off.
  void FocusGrid();

  // ---- The grid shown from the list ----
  // Grid row Row as its list entry says: location, status icon, address, name, time stamp, text,
  // "ERROR" for a message the codec refused, the status reports' row for an entry without location.
  void ShowMessageRow(int Row);
  // The whole grid from the list: one row per entry, at least one row; an empty row while no
  // reading's list is behind it.
  void ShowList();

  // Event handlers.
  void FormCreate();
  void KoCommOpen(TKoComponent* Sender);
  void KoCommRxChar(TKoComponent* Sender, int Count);
  // The line failed: the device has gone away (a cable pulled, a phone switched off).
  void KoCommError(TKoComponent* Sender, int Errors);
  void TimerTimer();
  void sgMessagesDrawCell(QPainter& Painter, int Col, int Row, const QRect& Rect);
  void sgMessagesSelectCell(int Col, int Row);
  void sgMessagesKeyDown(int Key, Qt::KeyboardModifiers Shift);
  void sgMessagesContextPopup(const QPoint& Global);
  void btnViewClick();
  void btnReadClick();
  // New, Answer and Forward; Sender is the button, which decides how the dialog is prefilled.
  void btnNewClick(QObject* Sender);
  void btnSaveClick();
  // Every message of the list, as read, into one file: text or an Android SMS backup.
  void miSaveAllClick();
  void btnDeleteClick();
  void btnNamesClick();
  void btnInfoClick();
  void btnExitClick();
  void btnInfoKeyPress(char Key);

  // The list position of the message shown in grid row Row, or 0 when no message stands behind the
  // row: a row beyond the list, the status report row, an entry whose location or status could not
  // be read, or any row while no reading's list is behind the grid.
  int MessageBehindRow(int Row) const;
  // The current row's list position when a message stands behind it, else 0.
  int CurrentMessageRow() const;
  // The row stands for the status reports that the phone counted but did not list.
  bool StatusReportRow(int Row) const;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void showEvent(QShowEvent* Event) override;

 private:
  void ReplyArrived(const std::string& Arrival);
  // The list entry shown in grid row Row; nullptr for a row beyond the list, and for every row
  // while no reading's list is behind the grid.
  const SMSEngine::TMessageList* EntryBehindRow(int Row) const;
  // The command ends here as failed, without its time-out: no reply can come.
  void EndCommandFailed();
  // "ERROR: Phone disconnected (COM 4)." for the port whose device went away.
  std::string DisconnectedText() const;

  QPixmap FStatusBitmaps[4];
  TReplyScan FReplyScan;
  bool FCommandWaiting = false;
  std::string FRefusalNote;  // the second line of a refusal's box, for the command that waits
  bool FWaiting = false;     // a wait for the phone runs: a command's or the opening's
  bool FTimeOutShowing = false;
  // The port as the list names it, while it is closed because its device went away; empty once
  // the port opens again.
  std::string FGonePort;
  // A message was stored during the current opening of the compose dialog: the grid shows the list
  // again when it closes.
  bool FStored = false;
  TCommLog* FLog = nullptr;  // owned by memLog
  bool FLogFontSet = false;
};

extern TfrmMain* frmMain;
