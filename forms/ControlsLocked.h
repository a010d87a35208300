// While the phone works, the program waits with window messages flowing: anything the user can
// press runs inside that wait. The controls that could start another operation are disabled for
// its length, and come back on every way out, an exception's included.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <utility>
#include <vector>

class TControlsLocked {
 public:
  // Each control gets back the state it had; with RestoreFocus, the focus also goes back to the
  // widget that had it, when that can take it.
  explicit TControlsLocked(const std::vector<QWidget*>& Controls, bool RestoreFocus = false);
  // Unlock decides the controls' states at the end instead, from what the operation found.
  TControlsLocked(const std::vector<QWidget*>& Controls, std::function<void()> Unlock);
  ~TControlsLocked() { Release(); }
  TControlsLocked(const TControlsLocked&) = delete;
  TControlsLocked& operator=(const TControlsLocked&) = delete;

  // Gives the controls back now rather than at the end of the scope; later calls do nothing.
  void Release();

 private:
  std::vector<std::pair<QPointer<QWidget>, bool>> FControls;
  QPointer<QWidget> FFocus;
  bool FRestoreFocus = false;
  std::function<void()> FUnlock;
  bool FReleased = false;
};
