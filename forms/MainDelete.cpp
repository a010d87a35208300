// Deleting a message from the phone, the list and the grid.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <string>

#include "forms/Dialogs.h"
#include "forms/Main.h"

namespace {

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
    // Nothing may change the list while the phone deletes.
    TOperationRunning Running(*this, TOperation::Delete);
    Deleted = SendCommand("AT+CMGD=" + std::to_string(Index) + "\r\n");
  }
  if (Deleted) {
    // Found again after the wait: the entry to remove is the one that held the deleted location.
    const int Row = RowOfLocation(*this, Index);
    MessagesUsed = std::max(MessagesUsed - 1, 0);
    if (Row) {
      // Only the deleted entry goes; every other one keeps its place in the order, and the same row
      // number shows the next message; after the last row, the new last row.
      Messages.erase(Messages.begin() + (Row - 1));
      ShowList();
      if (!Messages.empty()) sgMessages->SetRow(std::min(Row, static_cast<int>(Messages.size())));
    }
    lblMemory->setText(QStringLiteral("%1/%2").arg(MessagesUsed).arg(MessagesTotal));
  }
  FocusGrid();
}
