#include "forms/Application.h"

#include <exception>

#include "forms/Dialogs.h"

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (...) {
    ShowException(std::current_exception());
  }
  return false;
}
