#include "forms/Grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "forms/Cp1252String.h"

namespace {

constexpr int ObjectRole = Qt::UserRole + 1;

class TCellDelegate : public QStyledItemDelegate {
 public:
  explicit TCellDelegate(TStringGrid* Grid) : QStyledItemDelegate(Grid), FGrid(Grid) {}

  void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override {
    QStyledItemDelegate::paint(Painter, Option, Index);
    if (FGrid->OnDrawCell) {
      Painter->save();
      FGrid->OnDrawCell(*Painter, Index.column(), Index.row() + 1, Option.rect);
      Painter->restore();
    }
  }

 private:
  TStringGrid* FGrid;
};

}  // namespace

TStringGrid::TStringGrid(QWidget* Parent) : QTableWidget(1, 5, Parent) {
  setItemDelegate(new TCellDelegate(this));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setShowGrid(true);
  setWordWrap(false);
  setTabKeyNavigation(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(8);
  verticalHeader()->setDefaultSectionSize(16);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setDefaultSectionSize(100);
  horizontalHeader()->setMinimumSectionSize(8);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setFixedHeight(18);
  for (int c = 0; c < columnCount(); ++c) setHorizontalHeaderItem(c, new QTableWidgetItem());
  // The grid has a current cell from the start, as the selection of a grid always does: else the
  // view would pick one the first time it takes the focus and report that as a move of the user.
  // Nothing is highlighted until the user selects a row.
  selectionModel()->setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate);
  connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
    if (row >= 0 && OnSelectCell && !FQuiet) OnSelectCell(col, row + 1);
  });
}

void TStringGrid::SetColCount(int Count) {
  const int old = columnCount();
  // Removing the column of the current cell makes the view move the current cell: that is no
  // selection of the user, so the handler does not hear of it, and the current row stays.
  const int row = currentRow();
  const int col = currentColumn();
  FQuiet = true;
  setColumnCount(Count);
  if (row >= 0 && row < rowCount() && Count > 0) {
    const QModelIndex keep = model()->index(row, std::min(std::max(col, 0), Count - 1));
    if (currentIndex() != keep) selectionModel()->setCurrentIndex(keep, QItemSelectionModel::NoUpdate);
  }
  FQuiet = false;
  for (int c = old; c < Count; ++c) {
    setHorizontalHeaderItem(c, new QTableWidgetItem());
    setColumnWidth(c, 100);
  }
}

void TStringGrid::SetRowCount(int Count) { setRowCount(std::max(Count, 2) - 1); }

QTableWidgetItem* TStringGrid::Item(int Col, int Row) const {
  if (Col < 0 || Col >= columnCount() || Row < 0 || Row > rowCount()) return nullptr;
  return Row == 0 ? horizontalHeaderItem(Col) : item(Row - 1, Col);
}

std::string TStringGrid::Cells(int Col, int Row) const {
  const auto* cell = Item(Col, Row);
  return cell ? QStringToCp1252(cell->text()) : std::string();
}

void TStringGrid::SetCells(int Col, int Row, const std::string& Text) {
  if (Col < 0 || Col >= columnCount() || Row < 0 || Row > rowCount()) return;
  auto* cell = Item(Col, Row);
  if (!cell) {
    // Made with its text, so that the grid hears of the new cell once, not twice.
    cell = new QTableWidgetItem(Cp1252ToQString(Text));
    if (Row == 0)
      setHorizontalHeaderItem(Col, cell);
    else
      setItem(Row - 1, Col, cell);
    return;
  }
  cell->setText(Cp1252ToQString(Text));
}

const QPixmap* TStringGrid::Objects(int Col, int Row) const {
  const auto* cell = Item(Col, Row);
  return cell ? static_cast<const QPixmap*>(reinterpret_cast<const void*>(cell->data(ObjectRole).value<quintptr>()))
              : nullptr;
}

void TStringGrid::SetObjects(int Col, int Row, const QPixmap* Bitmap) {
  if (Col < 0 || Col >= columnCount() || Row < 1 || Row > rowCount()) return;
  auto* cell = Item(Col, Row);
  if (!cell) {
    cell = new QTableWidgetItem();
    setItem(Row - 1, Col, cell);
  }
  cell->setData(ObjectRole, QVariant::fromValue(reinterpret_cast<quintptr>(Bitmap)));
}

void TStringGrid::SetRow(int Row) {
  if (Row < 1 || Row > rowCount()) return;
  const int col = std::max(currentColumn(), 0);
  // Selecting the current cell again is still a selection: its handler runs as for a move.
  const bool same = currentRow() == Row - 1 && currentColumn() == col;
  setCurrentCell(Row - 1, col);
  if (same && OnSelectCell) OnSelectCell(col, Row);
}

void TStringGrid::keyPressEvent(QKeyEvent* Event) {
  if (OnKeyDown) OnKeyDown(Event->key(), Event->modifiers());
  QTableWidget::keyPressEvent(Event);
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* Event) {
  QTableWidget::mouseDoubleClickEvent(Event);
  if (OnDblClick) OnDblClick();
}
