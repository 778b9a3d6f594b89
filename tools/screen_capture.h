// Saves what the screen shows of a window as a PNG file, for the demo run's
// screenshot and the dialog tests' artefacts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// RGB rows, top-down, three bytes a pixel, no padding.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

// The window's rectangle, frame included, as the screen shows it now.
bool CaptureWindowPng(HWND window, const std::string& path);
