// How a command tells the classes whose surface type it changes.
#pragma once

#include <string>

#include "data/class_list_edit.h"

// "position 0, class 10: Water -> Grass", a line each, for those that change.
void PrintChanges(const SurfaceTypeChanges& changes);

// "no class was changed" or "2 classes were changed (position 0, class 10;
// position 3, class 12)", for a change the system stopped part way.
std::string DescribeDone(const SurfaceTypeChanges& done);

// Why a file under the backup's name is not the class list's backup, as
// "it is 12 bytes and the class list 195".
std::string NotABackup(const BackupComparison& found, const std::string& path, DWORD classListSize);
