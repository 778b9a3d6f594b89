#include "cli/select.h"

#include <cerrno>
#include <cstdlib>
#include <set>

#include "data/record_scan.h"
#include "data/texture_classes.h"

namespace {

// A decimal number of at most nine digits, maybe negative, from `*p`; moves
// past it.
bool ParseNumber(const char** p, long* value)
{
    const char* start = *p;
    const char* digits = *start == '-' ? start + 1 : start;
    const char* end = digits;
    while (*end >= '0' && *end <= '9')
        ++end;
    if (end == digits || end - digits > 9)
        return false;
    *value = std::strtol(start, nullptr, 10);
    *p = end;
    return true;
}

} // namespace

bool ParseSurfaceType(const std::string& text, SurfaceType* code)
{
    std::string name = text;
    for (char& c : name)
        if (c == '-')
            c = ' ';
    if (const SurfaceTypeChoice* choice = FindSurfaceTypeChoice(name.c_str())) {
        *code = static_cast<SurfaceType>(choice->code);
        return true;
    }
    const char* p = text.c_str();
    long number;
    if (*p == '-' || !ParseNumber(&p, &number) || *p != '\0')
        return false;
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        if (SurfaceTypeChoices[i].code == static_cast<unsigned long>(number)) {
            *code = static_cast<SurfaceType>(number);
            return true;
        }
    }
    return false;
}

std::string SurfaceTypeList()
{
    std::string names;
    for (int i = 0; i < SurfaceTypeChoiceCount; ++i) {
        names += i ? ", " : "";
        names += std::string(SurfaceTypeChoices[i].name) + " (" + std::to_string(SurfaceTypeChoices[i].code) + ")";
    }
    return names;
}

bool ParseRange(const std::string& text, long* low, long* high)
{
    const char* p = text.c_str();
    if (!ParseNumber(&p, low))
        return false;
    *high = *low;
    if (*p == '-') {
        ++p;
        if (!ParseNumber(&p, high))
            return false;
    }
    return *p == '\0' && *low <= *high;
}

bool SelectPositions(const Selection& selection, const ListedClass* classes, DWORD count,
                     std::vector<DWORD>* positions, SelectionError* error)
{
    std::set<DWORD> picked;
    for (DWORD i = 0; i < count; ++i)
        if (selection.all || (selection.water && classes[i].surfaceType == SURFACE_WATER))
            picked.insert(i);
    for (const std::string& text : selection.classes) {
        long low, high;
        if (!ParseRange(text, &low, &high)) {
            *error = {"--class " + text, "expected a class number N or a range N-M (\"-5\", \"-5--1\")"};
            return false;
        }
        bool found = false;
        for (DWORD i = 0; i < count; ++i) {
            const int number = classes[i].classNumber;
            if (number >= low && number <= high) {
                picked.insert(i);
                found = true;
            }
        }
        if (!found) {
            *error = {"--class " + text, "no class of the file has that number"};
            return false;
        }
    }
    for (const std::string& text : selection.positions) {
        long low, high;
        if (!ParseRange(text, &low, &high) || low < 0) {
            *error = {"--position " + text, "expected a position N or a range N-M (the first class is 0)"};
            return false;
        }
        if (static_cast<unsigned long>(high) >= count) {
            *error = {"--position " + text, "the file has " + std::to_string(count) + " classes, at positions 0 to " +
                                                std::to_string(static_cast<long>(count) - 1)};
            return false;
        }
        for (long p = low; p <= high; ++p)
            picked.insert(static_cast<DWORD>(p));
    }
    positions->assign(picked.begin(), picked.end());
    return true;
}
