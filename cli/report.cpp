#include "cli/report.h"

#include <cctype>
#include <cstdio>

const char kProgram[] = "turfwise-cli";

std::string ErrorText(DWORD code)
{
    char text[512] = {};
    std::string meaning = "unknown error";
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                       sizeof text, nullptr) != 0) {
        meaning = text;
        while (!meaning.empty() && std::isspace(static_cast<unsigned char>(meaning.back())))
            meaning.pop_back();
    }
    return "error " + std::to_string(code) + ": " + meaning;
}

void Complain(const std::string& subject, const std::string& what)
{
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, subject.c_str(), what.c_str());
}

std::string Classes(size_t count)
{
    return std::to_string(count) + (count == 1 ? " class" : " classes");
}

std::string ShownPath(const std::string& path)
{
    return path;
}

// The game's texture names are in its ANSI code page; JSON wants UTF-8.
std::string JsonText(const char* text)
{
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p < 0x80) {
            out += static_cast<char>(*p);
        } else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return out;
}

std::string ShownText(const char* text)
{
    return text;
}
