// Makes a demo game folder to try Turfwise on without the game: a class list
// laid out like the game's, and a bitmap for every texture it names.
#include "tools/demo_textures.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_demo FOLDER [CLASSES]\n"
                             "  writes FOLDER/Scenery/All/Scenery/CLASSLIST.BGL (256 classes unless\n"
                             "  CLASSES is given, at most 1024) and FOLDER/Texture/*.BMP\n");
        return 2;
    }
    int classes = argc == 3 ? std::atoi(argv[2]) : 256;
    if (classes < 0 || classes > 1024) {
        std::fprintf(stderr, "make_demo: CLASSES must be 0 to 1024\n");
        return 2;
    }
    return WriteDemoGameFolder(argv[1], classes) ? 0 : 1;
}
