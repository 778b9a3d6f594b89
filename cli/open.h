// Finding, opening and scanning the class list a command works on.
#pragma once

#include <string>

#include "cli/options.h"
#include "data/class_list_file.h"
#include "data/class_listing.h"

// Where the scan of a file stopped, for the messages.
struct ScanResult {
    bool complete = true;
    DWORD error = 0;
    DWORD offset = 0;
    DWORD pastEndLength = 0;   // the length of the record at `offset` that runs past the end of the file
    WORD opcode = 0;           // of the record at `offset`, when the scan failed there
};

// Fills the record's names and gives the class list's path, or an exit code.
int FindClassList(const CommonOptions& options, ClassListFile* file, std::string* path);

// True when the scan stopped at something in the file; false when the system
// could not read it (a file cut short by another program, a failing disk).
bool IsDamage(const ScanResult& scan);

// Scans `file`; the report of an unrecognised record is printed when `report`.
// A record that runs past the end of the file, which the walk takes as its
// end, is damage here: a file cut short, or a length that hides what follows.
ScanResult Scan(ClassListFile* file, bool report);

// What the scan found, copied out of the view at once: every later choice and
// plan reads the copy, and every store checks the file against it. False,
// after saying why, when the system cannot read the view.
bool ListScanned(const std::string& path, const ClassListFile& file, ClassListing* listing);

// Where and why the scan of the file at `path` stopped, on standard error.
void ReportStop(const std::string& path, const ClassListFile& file, const ScanResult& scan);
