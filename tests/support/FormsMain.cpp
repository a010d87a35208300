// GoogleTest runner for the window tests: the program's own application object, so that errors
// escaping a handler reach the central error box as they do in the program.
#include <gtest/gtest.h>

#include "forms/Application.h"

int main(int argc, char** argv) {
  TApplication Application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
