// GoogleTest runner for the tests that need a QApplication.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
  QApplication Application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
