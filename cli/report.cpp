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
#ifdef _WIN32
    // The console shows the ANSI code page as it is.
    return text;
#else
    return Windows1252ToUtf8(text);
#endif
}
