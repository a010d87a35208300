// The outgoing viewer: one message stored on the phone for sending, with every decoded field. A
// plain form; the main window fills it and shows it modally.
#pragma once

#include "forms/LazyDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TfrmViewOut : public TLazyDialog {
  Q_OBJECT
 public:
  explicit TfrmViewOut(QWidget* Parent = nullptr);
  ~TfrmViewOut() override;

  QLabel* lblIndex = nullptr;
  QLineEdit* edIndex = nullptr;
  QLabel* lblStatus = nullptr;
  QLineEdit* edStatus = nullptr;
  QLabel* imgStatus = nullptr;
  QLabel* lblSCA = nullptr;
  QLineEdit* edSCA = nullptr;
  QLabel* lblMR = nullptr;
  QLineEdit* edMR = nullptr;
  QLabel* lblVP = nullptr;
  QLineEdit* edVP = nullptr;
  QLabel* lblDA = nullptr;
  QLineEdit* edDA = nullptr;
  QLabel* lblUD = nullptr;
  QPlainTextEdit* memUD = nullptr;
  QLabel* lblChars = nullptr;
  QCheckBox* cbxSRR = nullptr;
  QCheckBox* cbxRD = nullptr;
  QCheckBox* cbxFlash = nullptr;
  QPushButton* btnOK = nullptr;

  // Makes the components; the window's first showing, or filling it in, does it. Made at start
  // they would cost start-up time for a window that may never show.
  void Build() override;

 protected:
  void showEvent(QShowEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
};

extern TfrmViewOut* frmViewOut;
