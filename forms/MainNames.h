// The phone book names of the main window: the names layout of the grid and the reading of the
// phone book (btnNamesClick and ApplyNames are members of the window, defined beside these).
#pragma once

class TfrmMain;

// The grid with a "Name" column at 3 and the time stamps and texts one column to the right; and
// back. Neither talks to the phone, moves the current row or runs the grid's selection handler.
void EnterNamesLayout(TfrmMain& Form);
void LeaveNamesLayout(TfrmMain& Form);
