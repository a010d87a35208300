#include "forms/ControlsLocked.h"

#include <QApplication>

TControlsLocked::TControlsLocked(const std::vector<QWidget*>& Controls, bool RestoreFocus)
    : FFocus(QApplication::focusWidget()), FRestoreFocus(RestoreFocus) {
  for (QWidget* Control : Controls) {
    FControls.emplace_back(Control, Control->isEnabled());
    Control->setEnabled(false);
  }
}

TControlsLocked::TControlsLocked(const std::vector<QWidget*>& Controls, std::function<void()> Unlock)
    : FUnlock(std::move(Unlock)) {
  for (QWidget* Control : Controls) Control->setEnabled(false);
}

void TControlsLocked::Release() {
  if (FReleased) return;
  FReleased = true;
  if (FUnlock) {
    FUnlock();
    return;
  }
  for (auto& [Control, Enabled] : FControls)
    if (Control) Control->setEnabled(Enabled);
  if (FRestoreFocus && FFocus && FFocus->isEnabled() && FFocus->isVisible()) FFocus->setFocus();
}
