#include "forms/Grid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>

#include "forms/Cp1252String.h"

namespace {

constexpr int ObjectRole = Qt::UserRole + 1;
// The last column keeps at least this much, so that its left edge can always be dragged back.
constexpr int LastColumnMinWidth = 24;

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

  // The tooltip tells what the cell cannot show.
  bool helpEvent(QHelpEvent* Event, QAbstractItemView* View, const QStyleOptionViewItem&,
                 const QModelIndex& Index) override {
    if (Event->type() != QEvent::ToolTip) return false;
    const QString Hint = FGrid->Hint(Index.column(), Index.row() + 1);
    if (Hint.isEmpty()) {
      QToolTip::hideText();
      Event->ignore();
      return false;
    }
    QToolTip::showText(Event->globalPos(), Hint, View->viewport(), View->visualRect(Index));
    return true;
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
  FFormWidths.assign(static_cast<std::size_t>(columnCount()), 100);
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int Col, int OldSize, int NewSize) { SectionResized(Col, OldSize, NewSize); });
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
  // The column that was last keeps its form width; the new last one fills the rest.
  if (old > 0 && old - 1 < Count) {
    FFitting = true;
    setColumnWidth(old - 1, FFormWidths[static_cast<std::size_t>(old - 1)]);
    FFitting = false;
  }
  FFormWidths.resize(static_cast<std::size_t>(Count), 100);
  for (int c = old; c < Count; ++c) {
    setHorizontalHeaderItem(c, new QTableWidgetItem());
    FFitting = true;
    setColumnWidth(c, 100);
    FFitting = false;
  }
  FitLastColumn();
}

int TStringGrid::ColWidths(int Col) const {
  if (Col < 0 || Col >= columnCount()) return 0;
  return Col == columnCount() - 1 ? FFormWidths[static_cast<std::size_t>(Col)] : columnWidth(Col);
}

void TStringGrid::SetColWidths(int Col, int Width) {
  if (Col < 0 || Col >= columnCount()) return;
  FFormWidths[static_cast<std::size_t>(Col)] = Width;
  if (Col < columnCount() - 1) setColumnWidth(Col, Width);
  FitLastColumn();
}

void TStringGrid::FitLastColumn() {
  const int Last = columnCount() - 1;
  // A hidden grid has no viewport of its final size yet: it is fitted when it shows.
  if (Last < 0 || FFitting || !isVisible()) return;
  FFitting = true;
  const int Room = viewport()->width();
  // A viewport narrower than the columns before the last (the vertical scroll bar came) takes the
  // width from them, the nearest first, so that no column reaches under the scroll bar.
  int Others = 0;
  for (int c = 0; c < Last; ++c) Others += columnWidth(c);
  for (int c = Last - 1; c >= 0 && Others > Room - LastColumnMinWidth; --c) {
    const int Give = std::min(Others - (Room - LastColumnMinWidth), columnWidth(c) - FFormWidths[std::size_t(c)]);
    if (Give > 0) {
      setColumnWidth(c, columnWidth(c) - Give);
      Others -= Give;
    }
  }
  for (int c = 0; c < Last; ++c) horizontalHeader()->setSectionResizeMode(c, QHeaderView::Interactive);
  // The last column has no edge of its own to drag: it ends where the viewport ends.
  horizontalHeader()->setSectionResizeMode(Last, QHeaderView::Fixed);
  setColumnWidth(Last, std::max(Room - Others, LastColumnMinWidth));
  FFitting = false;
  horizontalScrollBar()->setValue(0);
}

void TStringGrid::SectionResized(int Col, int, int NewSize) {
  if (FFitting || Col >= columnCount() - 1 || !isVisible()) return;
  // A column widened by hand may take the width of the last column down to its least, never more:
  // every edge stays in view, so each widening can be dragged back.
  int Others = 0;
  for (int c = 0; c < columnCount() - 1; ++c) Others += columnWidth(c);
  const int Excess = Others - (viewport()->width() - LastColumnMinWidth);
  if (Excess > 0) {
    FFitting = true;
    setColumnWidth(Col, std::max(NewSize - Excess, horizontalHeader()->minimumSectionSize()));
    FFitting = false;
  }
  FitLastColumn();
}

void TStringGrid::showEvent(QShowEvent* Event) {
  QTableWidget::showEvent(Event);
  FitLastColumn();
}

void TStringGrid::resizeEvent(QResizeEvent* Event) {
  QTableWidget::resizeEvent(Event);
  FitLastColumn();
}

void TStringGrid::scrollTo(const QModelIndex& Index, ScrollHint Hint) {
  const int Left = horizontalScrollBar()->value();
  QTableWidget::scrollTo(Index, Hint);
  horizontalScrollBar()->setValue(Left);
}

void TStringGrid::focusInEvent(QFocusEvent* Event) {
  QTableWidget::focusInEvent(Event);
  // The current row is drawn as selected whenever the grid has the focus, as the user expects of a
  // grid that selects whole rows; selecting it does not move it, so no handler hears of it.
  if (currentIndex().isValid() && !selectionModel()->isRowSelected(currentIndex().row(), QModelIndex()))
    selectionModel()->select(currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString TStringGrid::Hint(int Col, int Row) const {
  const auto* Cell = Row >= 1 ? Item(Col, Row) : nullptr;
  if (!Cell) return {};
  if (const QPixmap* Bitmap = Objects(Col, Row)) return ObjectText ? ObjectText(Bitmap) : QString();
  const QString Text = Cell->text();
  if (Text.isEmpty()) return {};
  // The room the item's style leaves for the text: a margin on either side.
  const int Margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
  const QFontMetrics Metrics(Cell->data(Qt::FontRole).isValid() ? Cell->font() : font());
  return Metrics.horizontalAdvance(Text) > columnWidth(Col) - 2 * Margin ? Text : QString();
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
  // A screen reader says what the picture shows.
  cell->setData(Qt::AccessibleTextRole, Bitmap && ObjectText ? ObjectText(Bitmap) : QVariant());
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
  // Not every platform turns these keys into a context menu event of its own.
  const bool Menu = Event->key() == Qt::Key_Menu ||
                    (Event->key() == Qt::Key_F10 && (Event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier);
  if (Menu && OnContextPopup) {
    Event->accept();
    OnContextPopup(viewport()->mapToGlobal(CurrentRowPoint()));
    return;
  }
  if (OnKeyDown) OnKeyDown(Event->key(), Event->modifiers());
  QTableWidget::keyPressEvent(Event);
}

void TStringGrid::contextMenuEvent(QContextMenuEvent* Event) {
  if (!OnContextPopup) return QTableWidget::contextMenuEvent(Event);
  Event->accept();
  if (Event->reason() != QContextMenuEvent::Mouse) {
    OnContextPopup(viewport()->mapToGlobal(CurrentRowPoint()));
    return;
  }
  // The menu is for the row the mouse points at.
  const int Row = rowAt(viewport()->mapFromGlobal(Event->globalPos()).y());
  if (Row >= 0) SetRow(Row + 1);
  OnContextPopup(Event->globalPos());
}

QPoint TStringGrid::CurrentRowPoint() const {
  const int Row = std::max(currentRow(), 0);
  const QRect Cell = visualRect(model()->index(Row, 0));
  return {Cell.left() + 8, std::min(Cell.bottom(), viewport()->height() - 1)};
}

void TStringGrid::mouseDoubleClickEvent(QMouseEvent* Event) {
  QTableWidget::mouseDoubleClickEvent(Event);
  if (OnDblClick) OnDblClick();
}
