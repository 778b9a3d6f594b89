// The words of the set command: surface types by name or code, and which
// classes a selection picks. Pure functions of their arguments.
#pragma once

#include <string>
#include <vector>

#include "data/class_listing.h"

// A surface type by its name in any case, with '-' for a blank
// ("bumpy-grass"), or by its code in decimal.
bool ParseSurfaceType(const std::string& text, SurfaceType* code);

// "Concrete (0), Grass (1), ..." for the help and the messages.
std::string SurfaceTypeList();

// "N" or "N-M" in decimal, N <= M; either may be negative, as class numbers
// are: "-5", "-5--1", "-5-3".
bool ParseRange(const std::string& text, long* low, long* high);

// Which classes `set` changes: the union of everything named.
struct Selection {
    bool all = false;                     // --all
    bool water = false;                   // --water: those whose surface type is Water
    std::vector<std::string> classes;     // --class N or N-M, by class number
    std::vector<std::string> positions;   // --position N or N-M, by place in the file, from 0

    bool Empty() const { return !all && !water && classes.empty() && positions.empty(); }
};

// What is wrong with a selection: the option and value, and why.
struct SelectionError {
    std::string subject;
    std::string what;
};

// The positions in the class table (file order) that `selection` picks among
// `count` listed classes; false with `error` when a selector is malformed or
// picks nothing.
bool SelectPositions(const Selection& selection, const ListedClass* classes, DWORD count,
                     std::vector<DWORD>* positions, SelectionError* error);
