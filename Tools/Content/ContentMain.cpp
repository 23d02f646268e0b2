// vostrel-content <folder>: writes the show's content root.
#include <iostream>

#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: vostrel-content <folder>" << std::endl;
        return 2;
    }
    try {
        Vostrel::Content::writeAllContent(argv[1]);
    } catch (const Vostrel::Exception& e) {
        std::cerr << e.report() << std::endl;
        return 1;
    }
    return 0;
}
