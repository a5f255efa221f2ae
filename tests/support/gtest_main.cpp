// The entry point of every test executable that brings none of its own: an executable that defines
// main() itself never pulls this object out of the support library.

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
