// Copy of one file: content, the three times and the attributes.
#pragma once

#include <string>

enum CopyResult { Copied = 0, CopyFailed = 1, SourceMissing = 2 };

CopyResult copyOneFile(const std::string& sourcePath, const std::string& targetPath);
