// The six windows of the program, made in their fixed order: the program, its window tests and
// the Windows reading check all start from the same set.
#pragma once

#include <memory>

#include "forms/Main.h"

// Makes the main window and its five dialogs and points the window globals at them. The dialogs
// are the main window's children and go with it.
std::unique_ptr<TfrmMain> CreateAllWindows();

// Clears the window globals once the main window has gone.
void ForgetAllWindows();
