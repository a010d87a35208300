// Deleting a message from the phone, the list and the grid.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <string>

#include "forms/ControlsLocked.h"
#include "forms/Dialogs.h"
#include "forms/Main.h"

namespace {

constexpr int ColStat = 1;

// The list position of the message at memory location Index: the selected row when it holds it,
// else the row that does; 0 when no row does.
int RowOfLocation(const TfrmMain& Form, int Index) {
  const int Selected = Form.sgMessages->Row();
  const auto Holds = [&](int Row) {
    return Form.MessageBehindRow(Row) && Form.Messages[static_cast<std::size_t>(Row - 1)].Index == Index;
  };
  if (Holds(Selected)) return Selected;
  for (int Row = 1; Row <= static_cast<int>(Form.Messages.size()); ++Row)
    if (Holds(Row)) return Row;
  return 0;
}

}  // namespace

void TfrmMain::DeleteMessage(int Index) {
  if (!RowOfLocation(*this, Index)) return;
  if (!ConfirmBox("Delete message in memory location #" + std::to_string(Index) + "?")) return;

  bool Deleted = false;
  {
    // Nothing may change the list while the phone deletes; the focus comes back where it was.
    TControlsLocked Locked(OperationControls(false, false), true);
    Deleted = SendCommand("AT+CMGD=" + std::to_string(Index) + "\r\n");
  }
  if (!Deleted) return;

  // Found again after the wait: the row to remove is the one that held the deleted location.
  const int Row = RowOfLocation(*this, Index);
  MessagesUsed = std::max(MessagesUsed - 1, 0);
  if (Row) {
    // Only the deleted entry goes; every other one keeps its place in the order.
    Messages.erase(Messages.begin() + (Row - 1));
    const int Rows = static_cast<int>(Messages.size());
    if (Rows > 0) {
      for (int R = Row; R <= Rows; ++R) {
        for (int C = 0; C < sgMessages->ColCount(); ++C) sgMessages->SetCells(C, R, sgMessages->Cells(C, R + 1));
        sgMessages->SetObjects(ColStat, R, sgMessages->Objects(ColStat, R + 1));
      }
      sgMessages->SetRowCount(Rows + 1);
      // The same row number now shows the next message; after the last row, the new last row.
      sgMessages->SetRow(std::min(Row, Rows));
    } else {
      for (int C = 0; C < sgMessages->ColCount(); ++C) sgMessages->SetCells(C, 1, "");
      sgMessages->SetObjects(ColStat, 1, nullptr);
      for (QPushButton* Button : {btnView, btnSave, btnDelete, btnAnswer, btnForward}) Button->setEnabled(false);
    }
  }
  lblMemory->setText(QStringLiteral("%1/%2").arg(MessagesUsed).arg(MessagesTotal));
}
