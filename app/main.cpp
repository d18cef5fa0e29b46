#include "app/run.h"

int main(int argc, char** argv) { return runBackup(argc, argv); }
