// A game folder for one test, registered as the game's, and the waiting and
// looking that the window tests share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/game_registration.h"

// A scratch game folder, removed afterwards, registered as the game's folder
// for as long as it lives; the game's registration as it was comes back after.
class GameFolder {
public:
    GameFolder();
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string ClassListPath() const { return path_ + "\\Scenery\\All\\Scenery\\CLASSLIST.BGL"; }
    std::string TexturePath(const std::string& name) const { return path_ + "\\Texture\\" + name; }

    void WriteClassList(const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> ReadClassList() const;
    void WriteTexture(const std::string& name) const;
    // The registry entry, or none at all.
    void Register() const;
    static void Unregister();

private:
    KeptGameRegistration registration_;
    std::string path_;
};

// The average colour of a window's client area as the screen shows it.
COLORREF AverageColour(HWND hwnd);
// Polls fn every 20 ms until it is true or the time is up.
bool WaitUntil(const std::function<bool()>& fn, DWORD timeoutMs = 5000);
