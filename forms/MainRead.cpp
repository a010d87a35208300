// Reading the messages from the phone and viewing one of them.
#include "forms/ViewFill.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <exception>
#include <initializer_list>

#include "forms/ControlsLocked.h"
#include "forms/Cp1252String.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/MainNames.h"
#include "forms/Progress.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"
#include "rules/ComposeText.h"
#include "rules/ReadReplies.h"

using SMSEngine::TMessageList;

namespace {

// Grid columns of the five-column layout; the names layout puts "Name" at 3 and moves the rest right.
constexpr int ColIdx = 0;
constexpr int ColStat = 1;
constexpr int ColAddress = 2;
constexpr int ColName = 3;

// Takes a header line apart field by field, so that a field that does not parse leaves those
// before it; the first conversion error is raised after them.
void FillHeader(TMessageList& Entry, const std::string& Header, bool& IndexRead, bool& StatusRead) {
  std::string_view Rest = Header;
  if (Rest.starts_with("+CMGL:")) {
    Rest.remove_prefix(6);
    while (!Rest.empty() && Rest.front() == ' ') Rest.remove_prefix(1);
  }
  const auto Comma = Rest.find(',');
  Entry.Index = ReplyToInt(Rest.substr(0, Comma));
  IndexRead = true;
  Rest = Comma == std::string_view::npos ? std::string_view() : Rest.substr(Comma + 1);
  Entry.Status = ReplyToInt(Rest.substr(0, 1));
  StatusRead = true;
  const TListingHeader Fields = ParseListingHeader(Header);
  Entry.Alpha = Fields.Alpha;
  Entry.PDULength = Fields.PDULength;
}

void FillMessageRows(TfrmMain& Form) {
  TStringGrid& Grid = *Form.sgMessages;
  const bool Names = Form.NamesShown;
  const int TimeCol = Names ? 4 : 3;
  const int TextCol = Names ? 5 : 4;

  // The listing is cut from a copy: a codec box below keeps window messages flowing, and a late
  // arrival may grow the reply buffer meanwhile.
  const std::string Listing = Form.ReplyBuffer;
  std::string_view Rest = Listing;
  // What has been taken leaves the reply buffer.
  struct TConsumed {
    std::string& Buffer;
    const std::string& Listing;
    const std::string_view& Rest;
    ~TConsumed() { Buffer.erase(0, std::min(Buffer.size(), Listing.size() - Rest.size())); }
  } Consumed{Form.ReplyBuffer, Listing, Rest};

  // The list and the grid hold what was listed, up to the count, and one row more for the status
  // reports when the phone counted more than it listed; however large a count the phone claims,
  // the memory follows the listing.
  std::vector<TListedMessage> Listed;
  for (TListedMessage Message; static_cast<int>(Listed.size()) < Form.MessagesUsed;) {
    if (!CutListedMessage(Rest, Message)) break;
    Listed.push_back(std::move(Message));
  }
  const int Count = static_cast<int>(Listed.size());
  const int Rows = Count + (Count < Form.MessagesUsed ? 1 : 0);
  Grid.SetRowCount(Rows + 1);
  Form.Messages.assign(static_cast<std::size_t>(Rows), TMessageList());
  bool ErrorShown = false;

  for (int Row = 1; Row <= Rows; ++Row) {
    if (Row > Count) {
      // The phone counted more than it listed: a status report takes a place but is not listed.
      Grid.SetCells(ColIdx, Row, "?");
      Grid.SetCells(ColAddress, Row, "-");
      Grid.SetCells(TimeCol, Row, "-");
      Grid.SetCells(TextCol, Row, "<Status report>");
      Form.Messages[static_cast<std::size_t>(Row - 1)].Index = NoLocation;
      break;
    }
    TMessageList& Entry = Form.Messages[static_cast<std::size_t>(Row - 1)];
    Entry.PDU = Listed[static_cast<std::size_t>(Row - 1)].PDU;
    bool IndexRead = false;
    bool StatusRead = false;
    bool Decoded = false;
    try {
      FillHeader(Entry, Listed[static_cast<std::size_t>(Row - 1)].Header, IndexRead, StatusRead);
      if (Entry.Status == 0 || Entry.Status == 1) {
        Grid.SetCells(ColIdx, Row, std::to_string(Entry.Index));
        Decoded = SMSEngine::DecodeDeliverPDU(Entry.PDU, Entry.SCA, Entry.OA, Entry.Flash, Entry.SCTS, Entry.UD);
        if (Decoded) {
          Grid.SetCells(ColAddress, Row, Entry.OA);
          Grid.SetCells(TimeCol, Row, QStringToCp1252(DateTimeText(Entry.SCTS)));
        }
      } else if (Entry.Status == 2 || Entry.Status == 3) {
        Grid.SetCells(ColIdx, Row, std::to_string(Entry.Index));
        Decoded = SMSEngine::DecodeSubmitPDU(Entry.PDU, Entry.SCA, Entry.SRR, Entry.VPF, Entry.RD, Entry.MR, Entry.DA,
                                             Entry.Flash, Entry.VPRelative, Entry.VPAbsolute, Entry.VPTZ, Entry.UD);
        if (Decoded) {
          Grid.SetCells(ColAddress, Row, Entry.DA);
          Grid.SetCells(TimeCol, Row, "");
        }
      } else {
        continue;  // no status the grid knows: no cells, no icon
      }
    } catch (const SMSEngine::EConvertError& Error) {
      // One malformed message does not hide the others: its row is marked like a refused one,
      // and the error is told once.
      if (!ErrorShown) ErrorBox(ExceptionBoxText(Error.what()));
      ErrorShown = true;
      if (IndexRead) Grid.SetCells(ColIdx, Row, std::to_string(Entry.Index));
      Decoded = false;
      if (!StatusRead || Form.StatusBitmap(Entry.Status) == nullptr) {
        Grid.SetCells(ColAddress, Row, "ERROR");
        continue;
      }
    }
    if (Decoded) {
      if (Names) Grid.SetCells(ColName, Row, Entry.Name);
      Grid.SetCells(TextCol, Row, OneLineText(Entry.UD));
    } else {
      Grid.SetCells(ColAddress, Row, "ERROR");
    }
    Grid.SetObjects(ColStat, Row, Form.StatusBitmap(Entry.Status));
  }
}

void ReadMessages(TfrmMain& Form) {
  TStringGrid& Grid = *Form.sgMessages;
  TKoComm& Comm = *Form.KoComm;

  // Start from a cleared grid.
  Grid.SetRowCount(2);
  for (int Col = 0; Col < Grid.ColCount(); ++Col) Grid.SetCells(Col, 1, "");
  Grid.SetObjects(ColStat, 1, nullptr);
  Form.lblMemory->setText(QStringLiteral("0/0"));

  // Another port: the old one closes, and what was learnt from its phone is forgotten.
  const int Port = Form.cbxCOMPort->currentData().toInt();
  if (Port != Comm.PortNum()) {
    if (Comm.IsOpen()) Comm.ClosePort();
    Comm.SetPortNum(Port);
    if (Form.NamesShown) LeaveNamesLayout(Form);
    Form.PhoneSCA = "NULL";
    Form.PhonebookRead = false;
    Form.Phonebook.clear();
  }

  Form.repaint();

  // The model check runs once per opening of the port.
  if (!Comm.IsOpen()) {
    if (!Form.OpenPortAndWait()) {
      Comm.ClosePort();
      return;
    }

    if (!Form.SendCommand("AT+CGSN\r\n")) {
      Comm.ClosePort();
      return;
    }
    if (!HasS40TypeCode(Form.ReplyBuffer)) {
      ErrorBox("ERROR: No Siemens S40 detected.");
      Comm.ClosePort();
      return;
    }
  }

  Form.Messages.clear();

  // A failed memory status or listing leaves the port open: the next reading goes on without the
  // model check.
  if (!Form.SendCommand("AT+CPMS?\r\n")) return;
  const TMemoryStatus Memory = ParseMemoryStatus(Form.ReplyBuffer);
  Form.MessagesUsed = Memory.Used;
  Form.MessagesTotal = Memory.Total;
  Form.lblMemory->setText(QStringLiteral("%1/%2").arg(Form.MessagesUsed).arg(Form.MessagesTotal));
  if (Form.MessagesUsed == 0) return;

  Form.ListingCount = 0;
  if (frmProgress) {
    frmProgress->ProgressBar->setValue(0);
    frmProgress->lblProgress->setText(QStringLiteral("0 of %1 messages.").arg(Form.MessagesUsed));
    frmProgress->show();
  }
  if (!Form.SendCommand("AT+CMGL=4\r\n")) return;

  FillMessageRows(Form);
  if (Form.NamesShown) Form.ApplyNames();

  // With nothing listed at all, row 1 is the status report row: no message stands behind it.
  if (Grid.Cells(ColIdx, 1) == "?") return;
  Form.btnView->setEnabled(true);
  Form.btnSave->setEnabled(true);
  Form.btnDelete->setEnabled(true);
  Form.btnForward->setEnabled(true);
  Form.btnAnswer->setEnabled(Form.Messages[0].Status < 2);
}

}  // namespace

void TfrmMain::btnReadClick() {
  // The closing steps run on every way out; an error is shown after them, with the controls and
  // the cursor back.
  std::exception_ptr Error;
  {
    TWaitCursor Cursor;
    // The waits keep window messages flowing: nothing may start another operation meanwhile. The
    // message buttons are enabled by the reading when a message stands in row 1.
    TControlsLocked Locked(OperationControls(true, true), [this] {
      if (frmProgress) frmProgress->close();
      sgMessages->setEnabled(true);
      sgMessages->setFocus();
      btnRead->setEnabled(true);
      btnNew->setEnabled(KoComm->IsOpen());
      btnNames->setEnabled(KoComm->IsOpen());
      btnInfo->setEnabled(true);
      btnExit->setEnabled(true);
      cbxCOMPort->setEnabled(true);
    });
    try {
      ReadMessages(*this);
    } catch (...) {
      Error = std::current_exception();
    }
  }

  if (Error) ShowException(Error);
}

void TfrmMain::ViewMessage(int ListPos) {
  if (ListPos < 1 || ListPos > static_cast<int>(Messages.size())) return;
  // A copy: the list may change while the modal viewer keeps window messages flowing.
  const TMessageList Entry = Messages[static_cast<std::size_t>(ListPos - 1)];
  if (Entry.Status >= 2) {
    if (!frmViewOut) frmViewOut = new TfrmViewOut(this);
    FillViewOut(*frmViewOut, Entry, StatusBitmap(Entry.Status));
    frmViewOut->exec();
  } else {
    if (!frmViewIn) frmViewIn = new TfrmViewIn(this);
    FillViewIn(*frmViewIn, Entry, StatusBitmap(Entry.Status));
    frmViewIn->exec();
  }
}
