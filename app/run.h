// One complete backup run, from the command line to the exit code.
#pragma once

int runBackup(int argc, char** argv);
