// A string grid in the manner of the program's forms: row 0 is the fixed header row, message rows
// count from 1, every cell holds 8-bit text and may carry a bitmap as its object. It sits on a
// QTableWidget whose horizontal header shows row 0.
#pragma once

#include <QTableWidget>
#include <functional>
#include <string>
#include <vector>

class QPixmap;

class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit TStringGrid(QWidget* Parent = nullptr);

  int ColCount() const { return columnCount(); }
  void SetColCount(int Count);
  // Rows including the header row; at least 2, as a grid with one fixed row always shows one more.
  int RowCount() const { return rowCount() + 1; }
  void SetRowCount(int Count);

  std::string Cells(int Col, int Row) const;
  void SetCells(int Col, int Row, const std::string& Text);
  // The bitmap attached to a cell (not owned; the grid keeps the pointer), or nullptr.
  const QPixmap* Objects(int Col, int Row) const;
  void SetObjects(int Col, int Row, const QPixmap* Bitmap);

  // The width the form gives a column. The last column is drawn with all the width the others
  // leave, so that it ends at the vertical scroll bar; its form width is kept for the layout.
  int ColWidths(int Col) const;
  void SetColWidths(int Col, int Width);

  // What a reader of the cell should be told beyond what it shows: the name of its bitmap, or the
  // whole text when the column is too narrow for it. Empty when the cell shows everything.
  QString Hint(int Col, int Row) const;
  // Names the bitmaps attached to cells, for the tooltip and for screen readers.
  std::function<QString(const QPixmap* Bitmap)> ObjectText;

  // The current row (1 for the first message row), 0 when none.
  int Row() const { return currentRow() + 1; }
  void SetRow(int Row);

  // Handlers, set by the owning window.
  std::function<void(QPainter& Painter, int Col, int Row, const QRect& Rect)> OnDrawCell;  // after the normal drawing
  std::function<void(int Col, int Row)> OnSelectCell;
  std::function<void(int Key, Qt::KeyboardModifiers Shift)> OnKeyDown;  // before the grid's own handling
  std::function<void()> OnDblClick;
  // The context menu is asked for at a point of the screen: the right mouse button (which makes the
  // row under it current first), the menu key or Shift+F10 (at the current row).
  std::function<void(const QPoint& Global)> OnContextPopup;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  void focusInEvent(QFocusEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;  // the viewport's size
  // The grid selects whole rows: a move of the current cell scrolls up and down only.
  void scrollTo(const QModelIndex& Index, ScrollHint Hint = EnsureVisible) override;

 private:
  QTableWidgetItem* Item(int Col, int Row) const;
  // Gives the last column the width the others leave in the viewport, taking it back from the
  // columns before it when the viewport got narrower than they are.
  void FitLastColumn();
  void SectionResized(int Col, int OldSize, int NewSize);
  // Where a menu for the current row opens from the keyboard: below its first cell, in the viewport.
  QPoint CurrentRowPoint() const;

  std::vector<int> FFormWidths;  // per column, as the form set them
  bool FFitting = false;         // the grid itself sizes the columns

  bool FQuiet = false;  // the grid itself moves the current cell: OnSelectCell is not told
};
