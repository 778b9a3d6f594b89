// Text from the game's files for output that wants UTF-8 (JSON, a Linux
// terminal). The game's files are in Windows-1252, the Western European
// ANSI code page the game shipped for.
#pragma once

#include <string>
#include <string_view>

// Every byte converts, as Windows' MultiByteToWideChar(1252) converts it:
// the five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become
// the control characters of the same number.
std::string Windows1252ToUtf8(std::string_view text);
