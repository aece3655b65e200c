// main() of the test programs that need the toolkit on the test display but
// no Norvelith application object: a plain application with every image
// handler registered, as the program has them.
#include <gtest/gtest.h>

#include "common/wx_test_run.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return run_tests_in_toolkit(argc, argv);
}
