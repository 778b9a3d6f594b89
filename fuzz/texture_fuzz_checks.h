// Checks of the texture class operations on whatever the scan found.
#pragma once

#include "data/class_list_file.h"

inline void CheckTextureClasses(ClassListFile*) {}
