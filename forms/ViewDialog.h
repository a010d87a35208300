// What the two message viewers share: an OK button that has the focus when the viewer shows, and
// the keys that close it.
#pragma once

#include "forms/LazyDialog.h"

class QPushButton;

class TViewDialog : public TLazyDialog {
 public:
  using TLazyDialog::TLazyDialog;

  QPushButton* btnOK = nullptr;

 protected:
  void showEvent(QShowEvent* Event) override;
  // Escape closes the viewer as OK does; Enter presses OK only while OK has the focus.
  void keyPressEvent(QKeyEvent* Event) override;
};
