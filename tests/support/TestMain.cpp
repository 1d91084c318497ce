// The main of every GoogleTest program that has none of its own.
#include <gtest/gtest.h>

#include "tests/support/ProcessTreeJob.h"

int main(int argc, char** argv) {
    EndStartedProcessesWithThisOne();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
