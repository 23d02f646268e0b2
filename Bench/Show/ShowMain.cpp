#include "Bench/Show/ShowRun.h"

int main(int argc, char** argv)
{
    return VostrelBench::runShow(argc, argv);
}
