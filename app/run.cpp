#include "app/run.h"

#include <cstdio>

int runBackup(int, char**) {
    std::printf("\n%s\n", "VAULTIX.EXE V2.0");
    return 0;
}
