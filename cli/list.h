// turfwise-cli list: the classes as the dialog lists them, or as JSON.
#pragma once

#include <string>

#include "cli/open.h"

struct ListOptions {
    bool waterOnly = false;   // --water: only the classes whose surface type is Water
    bool json = false;
};

// Lists the classes the scan found in g_classListFile; a scan that stopped
// early is exit 3, after what was found is listed.
// The classes come from `listing`, made after the scan; the names from the
// view. A file another program cut short or rewrote meanwhile is exit 2.
int List(const ListOptions& options, const std::string& path, const ScanResult& scan, const ClassListing& listing);
