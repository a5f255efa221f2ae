#include "support/window_test.h"

int main(int argc, char** argv)
{
    return kyt::test::runWindowTests(argc, argv);
}
