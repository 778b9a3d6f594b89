// What every command of turfwise-cli is told on its command line.
#pragma once

#include <string>

struct CommonOptions {
    std::string file;         // --file: this class list, whatever its name and folder
    std::string gameFolder;   // --game-folder: the class list under this game folder
    bool dryRun = false;
    bool noBackup = false;
    bool force = false;
};
