// Texture bitmaps and whole game folders for the demo and the dialog tests:
// pictures that read as water, grass, city, forest or bare land at a glance.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A 24-bit bottom-up .BMP file of `size` x `size` pixels. The picture follows
// the name's stem (WATER, GRASS, CITY, FOREST, anything else is land); the
// rest of the name varies the details.
std::vector<uint8_t> PaintTextureBmp(const std::string& textureName, int size = 128);

// `folder`\Scenery\All\Scenery\CLASSLIST.BGL built by BuildRealisticClassList,
// and `folder`\Texture\<name> for every texture it names. Returns false with
// a message on stderr if anything cannot be written.
bool WriteDemoGameFolder(const std::string& folder, int classCount, int textureSize = 128);
