// The incoming viewer: one received message with every decoded field. A plain form; the main
// window fills it and shows it modally.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TfrmViewIn : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmViewIn(QWidget* Parent = nullptr);
  ~TfrmViewIn() override;

  QLabel* lblIndex;
  QLineEdit* edIndex;
  QLabel* lblStatus;
  QLineEdit* edStatus;
  QLabel* imgStatus;
  QLabel* lblSCA;
  QLineEdit* edSCA;
  QLabel* lblSCTS;
  QLineEdit* edSCTS;
  QLabel* lblOA;
  QLineEdit* edOA;
  QLabel* lblUD;
  QPlainTextEdit* memUD;
  QLabel* lblChars;
  QCheckBox* cbxFlash;
  QPushButton* btnOK;

 protected:
  void showEvent(QShowEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
};

extern TfrmViewIn* frmViewIn;
