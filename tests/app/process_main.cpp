// Runs the norvelith program as a child process; the toolkit's base is
// initialised here only to write data-file fixtures.
#include <gtest/gtest.h>
#include <wx/init.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  wxInitializer base;
  return RUN_ALL_TESTS();
}
