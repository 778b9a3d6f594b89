// turfwise-cli set and reset: the changes worked out first, shown, then
// stored through the data layer after the backup, and flushed before they are
// reported.
#pragma once

#include <string>

#include "cli/options.h"
#include "cli/select.h"

// Both work on g_classListFile, opened and scanned, at `path`, and store
// only while it still holds `listing`, made after that scan.
int Set(const CommonOptions& options, const Selection& selection, SurfaceType code, const std::string& path,
        const ClassListing& listing);
int Reset(const CommonOptions& options, const std::string& path, const ClassListing& listing);
