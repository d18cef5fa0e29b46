// Rotation by count before the copy: removal of the oldest archive folders, the
// permanent mark, the permanent copies in SICHER, and the new archive folder.
#pragma once

#include <string>

#include "app/options.h"
#include "fs/dirwalker.h"
#include "time/timestamp.h"

// Returns the path of the new archive folder.
std::string rotateArchiveFolders(const RunOptions& options, const Timestamp& runTimestamp,
                                 DirWalker& walker);
