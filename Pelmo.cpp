// The program entry: the application object, the windows in their fixed order, the message loop.
#include <QDir>
#include <memory>

#include "forms/AllWindows.h"
#include "forms/Application.h"
#include "forms/Icons.h"

#ifndef PELMO_VERSION
#error PELMO_VERSION is the CMake project version, set by the build
#endif

int main(int argc, char** argv) {
  TApplication Application(argc, argv);
  Application.setApplicationName(QStringLiteral("Pelmo"));
  Application.setApplicationVersion(QStringLiteral(PELMO_VERSION));
  Application.setProperty("description", QStringLiteral("Short message tool for the Siemens S40 mobile"));
  Application.setDesktopFileName(QStringLiteral("pelmo"));
  Application.setWindowIcon(ProgramIcon());

  // Every window exists before the first one shows.
  auto main = CreateAllWindows();
  frmMain->show();
  const int result = Application.exec();
  main.reset();
  ForgetAllWindows();
  return result;
}
