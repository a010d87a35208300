// Reading the messages from the phone and viewing one of them.
#include "Main.h"

void TfrmMain::btnReadClick() {}

void TfrmMain::ViewMessage(int ListPos) { (void)ListPos; }
