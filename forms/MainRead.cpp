// Reading the messages from the phone and viewing one of them.
#include "forms/ViewFill.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <exception>

#include "forms/Cp1252String.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"
#include "forms/MainNames.h"
#include "forms/Progress.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"
#include "rules/ComposeText.h"
#include "rules/MessageStatus.h"
#include "rules/Phonebook.h"
#include "rules/ReadReplies.h"

using SMSEngine::TMessageList;

namespace {

// Takes a header line apart field by field into the entry. A field that does not parse raises the
// conversion error and leaves the ones before it read: the location stays NoLocation and the status
// UnreadStatus until they are.
void FillHeader(TMessageList& Entry, const std::string& Header) {
  std::string_view Rest = Header;
  if (Rest.starts_with("+CMGL:")) {
    Rest.remove_prefix(6);
    while (!Rest.empty() && Rest.front() == ' ') Rest.remove_prefix(1);
  }
  const auto Comma = Rest.find(',');
  Entry.Index = ReplyToInt(Rest.substr(0, Comma));
  Rest = Comma == std::string_view::npos ? std::string_view() : Rest.substr(Comma + 1);
  Entry.Status = ReplyToInt(Rest.substr(0, 1));
  const TListingHeader Fields = ParseListingHeader(Header);
  Entry.Alpha = Fields.Alpha;
  Entry.PDULength = Fields.PDULength;
}

// The listing in the reply buffer becomes the message list, each PDU decoded.
void ListMessages(TfrmMain& Form) {
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

  // The list holds what was listed, up to the count, and one entry more for the status reports when
  // the phone counted more than it listed; however large a count the phone claims, the memory
  // follows the listing.
  std::vector<TListedMessage> Listed;
  for (TListedMessage Message; static_cast<int>(Listed.size()) < Form.MessagesUsed;) {
    if (!CutListedMessage(Rest, Message)) break;
    Listed.push_back(std::move(Message));
  }
  const std::size_t Count = Listed.size();
  std::vector<TMessageList>& Messages = Form.Messages;
  Messages.assign(Count + (static_cast<int>(Count) < Form.MessagesUsed ? 1 : 0), TMessageList());
  // The status reports take a place but are not listed: an entry without location or PDU.
  if (Messages.size() > Count) Messages.back().Index = NoLocation;
  bool ErrorShown = false;
  for (std::size_t Pos = 0; Pos < Count; ++Pos) {
    TMessageList& Entry = Messages[Pos];
    Entry.PDU = Listed[Pos].PDU;
    Entry.Index = NoLocation;
    Entry.Status = UnreadStatus;
    try {
      FillHeader(Entry, Listed[Pos].Header);
      if (IsReceived(Entry.Status))
        Entry.Decoded = SMSEngine::DecodeDeliverPDU(Entry.PDU, Entry.SCA, Entry.OA, Entry.Flash, Entry.SCTS, Entry.UD);
      else if (KnownStatus(Entry.Status))
        Entry.Decoded =
            SMSEngine::DecodeSubmitPDU(Entry.PDU, Entry.SCA, Entry.SRR, Entry.VPF, Entry.RD, Entry.MR, Entry.DA,
                                       Entry.Flash, Entry.VPRelative, Entry.VPAbsolute, Entry.VPTZ, Entry.UD);
    } catch (const SMSEngine::EConvertError& Error) {
      // One malformed message does not hide the others: it shows like a refused one, and the error
      // is told once.
      if (!ErrorShown) ErrorBox(ExceptionBoxText(Error.what()));
      ErrorShown = true;
      Entry.Decoded = false;
    }
  }
}

void ReadMessages(TfrmMain& Form) {
  TKoComm& Comm = *Form.KoComm;

  // Start from a cleared grid: no list stands behind it until this reading's is in.
  Form.ListingProcessed = false;
  Form.ShowList();
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
  if (Form.MessagesUsed == 0) {
    // Nothing to list: the empty list is the phone's.
    Form.ListingProcessed = true;
    return;
  }

  Form.ListingCount = 0;
  if (frmProgress) {
    frmProgress->ProgressBar->setValue(0);
    frmProgress->lblProgress->setText(QStringLiteral("0 of %1 messages.").arg(Form.MessagesUsed));
    frmProgress->show();
  }
  if (!Form.SendCommand("AT+CMGL=4\r\n")) return;

  ListMessages(Form);
  Form.ListingProcessed = true;
  if (Form.NamesShown) MatchNames(Form.Messages, Form.Phonebook);
  Form.ShowList();
}

}  // namespace

void TfrmMain::btnReadClick() {
  // The closing steps run on every way out; an error is shown after them, with the controls and
  // the cursor back.
  std::exception_ptr Error;
  {
    TWaitCursor Cursor;
    // The waits keep window messages flowing: nothing may start another operation meanwhile.
    TOperationRunning Running(*this, TOperation::Reading);
    try {
      ReadMessages(*this);
    } catch (...) {
      Error = std::current_exception();
    }
    if (frmProgress) frmProgress->close();
    ReadingDone = true;
  }
  FocusGrid();

  if (Error) ShowException(Error);
}

void TfrmMain::ViewMessage(int ListPos) {
  if (ListPos < 1 || ListPos > static_cast<int>(Messages.size())) return;
  // A copy: the list may change while the modal viewer keeps window messages flowing.
  const TMessageList Entry = Messages[static_cast<std::size_t>(ListPos - 1)];
  if (Entry.Status >= SMSEngine::StatusStoredUnsent) {
    if (!frmViewOut) frmViewOut = new TfrmViewOut(this);
    FillViewOut(*frmViewOut, Entry, StatusBitmap(Entry.Status));
    frmViewOut->exec();
  } else {
    if (!frmViewIn) frmViewIn = new TfrmViewIn(this);
    FillViewIn(*frmViewIn, Entry, StatusBitmap(Entry.Status));
    frmViewIn->exec();
  }
}
