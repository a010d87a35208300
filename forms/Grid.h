// A string grid in the manner of the program's forms: row 0 is the fixed header row, message rows
// count from 1, every cell holds 8-bit text and may carry a bitmap as its object. It sits on a
// QTableWidget whose horizontal header shows row 0.
#pragma once

#include <QTableWidget>
#include <functional>
#include <string>

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

  int ColWidths(int Col) const { return columnWidth(Col); }
  void SetColWidths(int Col, int Width) { setColumnWidth(Col, Width); }

  // The current row (1 for the first message row), 0 when none.
  int Row() const { return currentRow() + 1; }
  void SetRow(int Row);

  // Handlers, set by the owning window.
  std::function<void(QPainter& Painter, int Col, int Row, const QRect& Rect)> OnDrawCell;  // after the normal drawing
  std::function<void(int Col, int Row)> OnSelectCell;
  std::function<void(int Key, Qt::KeyboardModifiers Shift)> OnKeyDown;  // before the grid's own handling
  std::function<void()> OnDblClick;

 protected:
  void keyPressEvent(QKeyEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;

 private:
  QTableWidgetItem* Item(int Col, int Row) const;

  bool FQuiet = false;  // the grid itself moves the current cell: OnSelectCell is not told
};
