// Runs the built turfwise-cli as a child process, as a user or a script would,
// and gives back its exit code and what it printed.
#pragma once

#include <string>
#include <vector>

struct CliRun {
    int exitCode = -1;
    std::string out;   // line ends as "\n"
    std::string err;
};

// `unprivileged`: natively, when the tests run as root, the program runs as
// nobody, whom a read-only file really stops.
CliRun RunCli(const std::vector<std::string>& args, bool unprivileged = false);

// Makes the file read-only; false when the program could still write it
// (Windows programs under Wine run by root).
bool MakeReadOnly(const std::string& path);

// Makes `path` a file of `size` bytes that takes (almost) no disk; false when
// the system cannot.
bool MakeSparseFile(const std::string& path, unsigned long long size);

// A game folder named by the game's registry entry for as long as it lives:
// natively in a Wine prefix of its own ($WINEPREFIX), under Windows in the
// machine's registry. Without one, the lookup finds no entry.
class RegisteredGame {
public:
    RegisteredGame();
    ~RegisteredGame();
    RegisteredGame(const RegisteredGame&) = delete;
    RegisteredGame& operator=(const RegisteredGame&) = delete;

    // The folder as this process reaches it, and its class list.
    std::string Folder() const;
    std::string ClassListPath() const;
    void Unregister();

private:
    struct Impl;
    Impl* impl_;
};

// Tests run with no registry entry unless they make one.
void ForgetTheGame();

// The machine's registration of the game as it was when this was made, there
// again when it goes. Under Windows, ForgetTheGame and RegisteredGame change
// the machine's own registry, the one the program reads; natively they change
// only prefixes of their own.
class KeptRegistration {
public:
    KeptRegistration();
    ~KeptRegistration();
    KeptRegistration(const KeptRegistration&) = delete;
    KeptRegistration& operator=(const KeptRegistration&) = delete;

private:
    struct Impl;
    Impl* impl_;
};
