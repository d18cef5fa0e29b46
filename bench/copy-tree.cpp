// Copies one folder tree the way a backup run fills its archive folder; the copy
// benchmark times it until the whole run can be timed through the program itself.
#include <cstdio>

#include "copy/treecopy.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Aufruf: copy-tree QUELLE ZIEL\n");
        return 2;
    }
    copyTree(argv[1], argv[2], "", false);
    std::fprintf(stderr, "%d Dateien geprueft, %d kopiert, %d nicht kopiert\n",
                 runCounters.filesExamined, runCounters.filesCopied, runCounters.filesNotCopied);
    return runCounters.filesNotCopied == 0 ? 0 : 1;
}
