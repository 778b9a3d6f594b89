// What turfwise-cli's exit status tells a script.
#pragma once

enum ExitCode {
    EXIT_DONE = 0,
    EXIT_USAGE = 1,                  // the command line asks for something that cannot be
    EXIT_FILE_ERROR = 2,             // a file could not be located, opened, mapped, read, backed up or written
    EXIT_DAMAGED_OR_DIFFERENT = 3,   // the class list or its backup is damaged, or the backup is not a
                                     // copy of the class list: refused, or (list) listed up to the damage
};
