#include "Libs/Video/VideoDriver.h"

int main(int argc, char** argv)
{
    return Vostrel::runVideoDecoder(argc, argv);
}
