// What the two message viewers share: the rows they open with (memory index, status with its icon,
// service centre address), the text with its counter, the flash box, and an OK button that has the
// focus when the viewer shows, with the keys that close it.
#pragma once

#include "forms/LazyDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TViewDialog : public TLazyDialog {
 public:
  using TLazyDialog::TLazyDialog;

  QLabel* lblIndex = nullptr;
  QLineEdit* edIndex = nullptr;
  QLabel* lblStatus = nullptr;
  QLineEdit* edStatus = nullptr;
  QLabel* imgStatus = nullptr;
  QLabel* lblSCA = nullptr;
  QLineEdit* edSCA = nullptr;
  QLabel* lblUD = nullptr;
  QPlainTextEdit* memUD = nullptr;
  QLabel* lblChars = nullptr;
  QCheckBox* cbxFlash = nullptr;
  QPushButton* btnOK = nullptr;

 protected:
  // The first three rows, the status icon IconWidth pixels wide.
  void BuildHeader(int IconWidth);
  // The text's label and memo from Top, the counter below them.
  void BuildText(int Top);

  void showEvent(QShowEvent* Event) override;
  // Escape closes the viewer as OK does; Enter presses OK only while OK has the focus.
  void keyPressEvent(QKeyEvent* Event) override;
};
