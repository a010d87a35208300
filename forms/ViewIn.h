// The incoming viewer: one received message with every decoded field. A plain form; the main
// window fills it and shows it modally.
#pragma once

#include "forms/ViewDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class TfrmViewIn : public TViewDialog {
  Q_OBJECT
 public:
  explicit TfrmViewIn(QWidget* Parent = nullptr);
  ~TfrmViewIn() override;

  QLabel* lblIndex = nullptr;
  QLineEdit* edIndex = nullptr;
  QLabel* lblStatus = nullptr;
  QLineEdit* edStatus = nullptr;
  QLabel* imgStatus = nullptr;
  QLabel* lblSCA = nullptr;
  QLineEdit* edSCA = nullptr;
  QLabel* lblSCTS = nullptr;
  QLineEdit* edSCTS = nullptr;
  QLabel* lblOA = nullptr;
  QLineEdit* edOA = nullptr;
  QLabel* lblUD = nullptr;
  QPlainTextEdit* memUD = nullptr;
  QLabel* lblChars = nullptr;
  QCheckBox* cbxFlash = nullptr;

  void Build() override;
};

extern TfrmViewIn* frmViewIn;
