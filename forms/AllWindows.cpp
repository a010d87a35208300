#include "forms/AllWindows.h"

#include "forms/Info.h"
#include "forms/MSend.h"
#include "forms/Progress.h"
#include "forms/ViewIn.h"
#include "forms/ViewOut.h"

std::unique_ptr<TfrmMain> CreateAllWindows() {
  // The main window comes first: closing it ends the program, and the others are its dialogs.
  auto Main = std::make_unique<TfrmMain>();
  frmMain = Main.get();
  frmViewIn = new TfrmViewIn(frmMain);
  frmViewOut = new TfrmViewOut(frmMain);
  frmSend = new TfrmSend(frmMain);
  frmProgress = new TfrmProgress(frmMain);
  frmInfo = new TfrmInfo(frmMain);
  return Main;
}

void ForgetAllWindows() {
  frmMain = nullptr;
  frmViewIn = nullptr;
  frmViewOut = nullptr;
  frmSend = nullptr;
  frmProgress = nullptr;
  frmInfo = nullptr;
}
