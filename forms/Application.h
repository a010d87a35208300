// The application object: an error that escapes an event handler is shown in the central error
// box, and the program carries on with the next window message.
#pragma once

#include <QApplication>

class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& Argc, char** Argv);
  bool notify(QObject* Receiver, QEvent* Event) override;
};
