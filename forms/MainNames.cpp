// Phone book names: reading the phone book in UCS2 and showing, beside each number, its name.
#include "forms/MainNames.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/Progress.h"
#include "rules/Phonebook.h"

namespace {

const char* const CharsetNotBack = "Phone character set could not be set to back \"IRA\".";

// Notes that the main window closes while the phone book is read, and ends the command waiting
// then as a failed one: nothing more is asked of the phone, and no time-out box comes up for a
// window that is gone.
class TCloseWatch : public QObject {
 public:
  explicit TCloseWatch(TfrmMain& Form) : FForm(Form) { FForm.installEventFilter(this); }
  ~TCloseWatch() override { FForm.removeEventFilter(this); }
  TCloseWatch(const TCloseWatch&) = delete;
  TCloseWatch& operator=(const TCloseWatch&) = delete;

  bool Closed = false;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched == &FForm && Event->type() == QEvent::Close) {
      Closed = true;
      if (FForm.CommandWaiting()) FForm.AbandonCommand();
    }
    return false;
  }

 private:
  TfrmMain& FForm;
};

enum class TReadOutcome {
  Read,     // the phone book was read (also when the reading ended early): show the names
  Empty,    // the phone book holds nothing: show the (empty) names, ask again next time
  NotRead,  // the phone refused: the layout stays
};

// Reads the phone book into Form.Phonebook. Errors of the phone have been shown; an exception
// leaves with the phone's character set restored. When the phone could not be switched back to its
// own character set, the user is told before the progress window closes.
TReadOutcome ReadPhonebook(TfrmMain& Form, TCloseWatch& Watch) {
  if (!Form.SendCommand("AT+CPBS?\r\n")) return TReadOutcome::NotRead;
  const TPhonebookStorage Storage = ParsePhonebookStorage(Form.ReplyBuffer);
  // What an earlier phone book held is gone; the entries come in as they are read.
  Form.Phonebook.clear();
  if (Storage.Used == 0) return TReadOutcome::Empty;

  const QString Total = QString::number(Storage.Used);
  if (frmProgress) {
    frmProgress->ProgressBar->setValue(0);
    frmProgress->lblProgress->setText(QStringLiteral("0 of %1 phone book entries.").arg(Total));
    frmProgress->show();
  }
  // Halves round to even: 8 entries step by 12, 200 and more by 0.
  const int Step = static_cast<int>(std::nearbyint(100.0 / Storage.Used));

  TReadOutcome Outcome = TReadOutcome::NotRead;
  std::exception_ptr Error;
  try {
    if (Form.SendCommand("AT+CSCS=\"UCS2\"\r\n")) {
      const int Last = PhonebookLastLocation(Storage);
      int Stored = 0;
      bool ToTheEnd = true;
      for (int Location = 1; Stored != Storage.Used && Location <= Last; ++Location) {
        if (Watch.Closed || !Form.SendCommand("AT+CPBR=" + std::to_string(Location) + "\r\n")) {
          ToTheEnd = false;
          break;
        }
        const TPhonebookReply Entry = CutPhonebookEntry(Form.ReplyBuffer);
        if (Entry.Number.empty() || Entry.NameHex.empty()) continue;  // an empty location, or a number without a name
        Form.Phonebook.push_back({Entry.Number, UCS2HexToText(Entry.NameHex)});
        ++Stored;
        if (frmProgress) {
          frmProgress->StepBy(Step);
          frmProgress->lblProgress->setText(QStringLiteral("%1 of %2 phone book entries.").arg(Stored).arg(Total));
        }
      }
      // A reading that ended early shows what it found, and the next click reads the book again.
      Form.PhonebookRead = ToTheEnd;
      Outcome = TReadOutcome::Read;
    }
  } catch (...) {
    Error = std::current_exception();
  }

  // The phone goes back to its own character set on every way out, also after a time-out: a
  // phone left in UCS2 would answer the service centre query in hex.
  bool CharsetBack = false;
  if (Form.KoComm->IsOpen()) {
    try {
      CharsetBack = Form.SendCommand("AT+CSCS=\"IRA\"\r\n");
    } catch (...) {
      if (!Error) Error = std::current_exception();
    }
  }
  // A window that is gone asks nothing more of the user.
  if (!CharsetBack && !Watch.Closed) WarningBox(CharsetNotBack);
  if (frmProgress) frmProgress->close();
  if (Error) std::rethrow_exception(Error);
  return Outcome;
}

}  // namespace

void EnterNamesLayout(TfrmMain& Form) {
  TStringGrid& Grid = *Form.sgMessages;
  Form.btnNames->setText(QStringLiteral("Hide na&mes"));
  Grid.SetColCount(6);
  Grid.SetColWidths(3, 100);
  Grid.SetColWidths(4, 100);
  Grid.SetColWidths(5, 259);
  Grid.SetCells(3, 0, "Name");
  Grid.SetCells(4, 0, "Timestamp");
  Grid.SetCells(5, 0, "Text");
  Form.NamesShown = true;
  Form.ShowList();
}

void LeaveNamesLayout(TfrmMain& Form) {
  TStringGrid& Grid = *Form.sgMessages;
  Form.btnNames->setText(QStringLiteral("Show na&mes"));
  Grid.SetColWidths(3, 100);
  Grid.SetColWidths(4, 360);
  Grid.SetColCount(5);
  Grid.SetCells(3, 0, "Timestamp");
  Grid.SetCells(4, 0, "Text");
  Form.NamesShown = false;
  Form.ShowList();
}

void TfrmMain::btnNamesClick() {
  if (NamesShown) {
    LeaveNamesLayout(*this);
    FocusGrid();
    return;
  }
  if (!PhonebookRead) {
    TReadOutcome Outcome = TReadOutcome::NotRead;
    bool Closed = false;
    std::exception_ptr Error;
    {
      TWaitCursor Cursor;
      TCloseWatch Watch(*this);
      // Nothing may start another command while one waits.
      TOperationRunning Running(*this, TOperation::Names);
      try {
        Outcome = ReadPhonebook(*this, Watch);
      } catch (...) {
        Error = std::current_exception();
      }
      Closed = Watch.Closed;
      if (Closed) KoComm->ClosePort();
    }
    // A window that is gone asks nothing more of the user.
    if (Closed) return;
    FocusGrid();
    if (Error) {
      ShowException(Error);
      return;
    }
    if (Outcome == TReadOutcome::NotRead) return;
  }
  // The names are matched first, so that entering the layout shows them.
  MatchNames(Messages, Phonebook);
  EnterNamesLayout(*this);
  FocusGrid();
}

void TfrmMain::ApplyNames() {
  MatchNames(Messages, Phonebook);
  if (NamesShown) ShowList();
}
