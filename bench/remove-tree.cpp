// Removes one folder tree the way the rotation does; the removal benchmark times it.
#include <cstdio>
#include <string>

#include "fs/dirwalker.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: remove-tree ORDNER\n");
        return 2;
    }
    DirWalker walker;
    int32_t listed = walker.removeTree(argv[1]);
    walker.reset();
    std::printf("%d Dateien gelistet\n", listed);
    return 0;
}
