// The program entry: the application object, the windows in their fixed order, the message loop.
#include <QDir>
#include <memory>

#include "forms/Application.h"
#include "forms/Icons.h"
#include "forms/Info.h"
#include "forms/MSend.h"
#include "forms/Main.h"
#include "forms/Progress.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"

#ifndef PELMO_VERSION
#define PELMO_VERSION "1.1.0.53"
#endif

int main(int argc, char** argv) {
  TApplication Application(argc, argv);
  Application.setApplicationName(QStringLiteral("Pelmo"));
  Application.setApplicationVersion(QStringLiteral(PELMO_VERSION));
  Application.setProperty("description", QStringLiteral("Short message tool for the Siemens S40 mobile"));
  Application.setDesktopFileName(QStringLiteral("pelmo"));
  Application.setWindowIcon(ProgramIcon());

  // Every window exists before the first one shows. The main window comes first: closing it ends
  // the program, and the others are its dialogs.
  auto main = std::make_unique<TfrmMain>();
  frmMain = main.get();
  frmViewIn = new TfrmViewIn(frmMain);
  frmViewOut = new TfrmViewOut(frmMain);
  frmSend = new TfrmSend(frmMain);
  frmProgress = new TfrmProgress(frmMain);
  frmInfo = new TfrmInfo(frmMain);

  frmMain->show();
  const int result = Application.exec();

  frmInfo = nullptr;
  frmProgress = nullptr;
  frmSend = nullptr;
  frmViewOut = nullptr;
  frmViewIn = nullptr;
  main.reset();
  return result;
}
