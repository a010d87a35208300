// The outgoing viewer: one message stored on the phone for sending, with every decoded field. A
// plain form; the main window fills it and shows it modally.
#pragma once

#include "forms/ViewDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class TfrmViewOut : public TViewDialog {
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

  void Build() override;
};

extern TfrmViewOut* frmViewOut;
