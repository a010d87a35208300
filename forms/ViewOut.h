// The outgoing viewer: one message stored on the phone for sending, with every decoded field. A
// plain form; the main window fills it and shows it modally.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class TfrmViewOut : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmViewOut(QWidget* Parent = nullptr);
  ~TfrmViewOut() override;

  QLabel* lblIndex;
  QLineEdit* edIndex;
  QLabel* lblStatus;
  QLineEdit* edStatus;
  QLabel* imgStatus;
  QLabel* lblSCA;
  QLineEdit* edSCA;
  QLabel* lblMR;
  QLineEdit* edMR;
  QLabel* lblVP;
  QLineEdit* edVP;
  QLabel* lblDA;
  QLineEdit* edDA;
  QLabel* lblUD;
  QPlainTextEdit* memUD;
  QLabel* lblChars;
  QCheckBox* cbxSRR;
  QCheckBox* cbxRD;
  QCheckBox* cbxFlash;
  QPushButton* btnOK;

 protected:
  void showEvent(QShowEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
};

extern TfrmViewOut* frmViewOut;
