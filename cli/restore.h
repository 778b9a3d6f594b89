// turfwise-cli restore: the backup put back over the class list, when it is a
// backup of it, or whole when told to.
#pragma once

#include <string>

#include "cli/options.h"

// Works on g_classListFile, opened and scanned, at `path`.
int Restore(const CommonOptions& options, const std::string& path);
