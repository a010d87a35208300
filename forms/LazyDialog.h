// A dialog whose components are made when it first shows, or earlier by whoever fills them in
// (Build), rather than at start: made at start they would cost start-up time for a window that may
// never open. For the same reason its labels are not measured when made: Qt sizes a label that was
// never resized to its text when it first shows.
#pragma once

#include <QDialog>

class TLazyDialog : public QDialog {
 public:
  using QDialog::QDialog;

  // Makes the components the first time; later calls do nothing.
  virtual void Build() = 0;

  void setVisible(bool Visible) override {
    if (Visible) Build();
    QDialog::setVisible(Visible);
  }
};
