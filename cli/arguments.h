// turfwise-cli's command line: the command, its options and what they name.
// getopt_long from the C library reads the options; they may stand before or
// after the command, and "--name=value" works as well as "--name value".
#pragma once

#include <string>

#include "cli/list.h"
#include "cli/options.h"
#include "cli/select.h"

struct Arguments {
    enum Command { NONE, LIST, SET, RESET, RESTORE } command = NONE;
    bool help = false;
    bool version = false;
    CommonOptions common;
    ListOptions list;
    Selection selection;
    std::string type;   // set's TYPE, as written
};

// Reads argv (which getopt_long may reorder); false with `error`, a usage
// message, when it asks for something that cannot be. --help and --version
// stand for themselves whatever else is there.
bool ParseArguments(int argc, char** argv, Arguments* arguments, std::string* error);

// The text of --help.
std::string HelpText();
