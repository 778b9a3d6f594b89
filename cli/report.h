// How turfwise-cli speaks: its name, messages on standard error, error
// numbers with their meaning, and paths and names as the terminal shows them.
#pragma once

#include <string>

#include "platform/win32.h"

extern const char kProgram[];

// "error 5: Access is denied."
std::string ErrorText(DWORD code);

// "turfwise-cli: <subject>: <what>" on standard error.
void Complain(const std::string& subject, const std::string& what);

// What a command says when another program changed the class list since it
// was listed (ERROR_FILE_INVALID from the data layer).
std::string ChangedSinceListed(DWORD error);

// "1 class", "3 classes".
std::string Classes(size_t count);

// A path the data layer formed, as the file system names it, so that it can
// be pasted into a shell.
std::string ShownPath(const std::string& path);

// Text from the game's files (Windows-1252) as the terminal or JSON shows it;
// on the terminal every control character is an escape such as "\x1B".
std::string ShownText(const char* text);
std::string JsonText(const char* text);
