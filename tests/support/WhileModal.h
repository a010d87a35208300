// Works a modal dialog from inside: Open shows it (and returns once it has closed); While runs once
// the dialog is up as the active modal window, found by a timer that the dialog's own event loop
// runs.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// True when While ran.
inline bool WhileModal(QWidget* Dialog, const std::function<void()>& Open, const std::function<void()>& While) {
  bool Ran = false;
  QTimer Poll;
  Poll.setInterval(5);
  QObject::connect(&Poll, &QTimer::timeout, [&] {
    if (!Dialog->isVisible() || QApplication::activeModalWidget() != Dialog) return;
    Poll.stop();
    Ran = true;
    While();
  });
  Poll.start();
  Open();
  return Ran;
}
