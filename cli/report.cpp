#include "cli/report.h"

#include <cctype>
#include <cstdio>

#include "data/text_encoding.h"
#include "platform/native_path.h"

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
    const std::string number = "error " + std::to_string(code) + ": " + meaning;
    // Windows' words for these do not say what is wrong with the file.
    if (code == ERROR_CANT_ACCESS_FILE)
        return "not a regular file; " + number;
    if (code == ERROR_FILE_TOO_LARGE)
        return "the file is 4 GiB or more; " + number;
    return number;
}

void Complain(const std::string& subject, const std::string& what)
{
    std::fprintf(stderr, "%s: %s: %s\n", kProgram, subject.c_str(), what.c_str());
}

std::string ChangedSinceListed(DWORD error)
{
    return "another program changed the class list since it was listed (" + ErrorText(error) +
           "); nothing was changed. Run the command again to work on the file as it is now";
}

std::string Classes(size_t count)
{
    return std::to_string(count) + (count == 1 ? " class" : " classes");
}

std::string ShownPath(const std::string& path)
{
    return NativePath(path);
}

std::string JsonText(const char* text)
{
    return Windows1252ToUtf8(text);
}

std::string ShownText(const char* text)
{
    // A name from a file may hold anything: what a terminal would act on
    // (C0, DEL, and the bytes Windows-1252 turns into C1 controls) is shown
    // as an escape instead.
    std::string shown;
    for (const char* p = text; *p; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", b);
            shown += escape;
        } else {
            shown += *p;
        }
    }
#ifdef _WIN32
    // The console shows the ANSI code page as it is.
    return shown;
#else
    return Windows1252ToUtf8(shown);
#endif
}
