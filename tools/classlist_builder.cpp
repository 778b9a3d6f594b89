#include "tools/classlist_builder.h"

#include <cstdio>

namespace {

// The default surface types by position, as the game ships them.
uint16_t DefaultTypeAt(int position)
{
    static const struct { int last; uint16_t code; } runs[] = {
        {0, 2}, {1, 10}, {3, 3}, {5, 6}, {6, 11}, {7, 5}, {8, 10},
        {27, 2}, {62, 10}, {155, 3}, {215, 6}, {239, 11}, {255, 5},
    };
    for (const auto& run : runs)
        if (position <= run.last)
            return run.code;
    return 3;
}

} // namespace

size_t ClassListBuilder::Begin(uint16_t opcode, size_t length)
{
    size_t at = bytes_.size();
    bytes_.resize(at + length, 0);
    bytes_[at] = static_cast<uint8_t>(opcode);
    if (length > 1)
        bytes_[at + 1] = static_cast<uint8_t>(opcode >> 8);
    return at;
}

void ClassListBuilder::PatchLE16(size_t offset, uint16_t value)
{
    bytes_[offset] = static_cast<uint8_t>(value);
    bytes_[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void ClassListBuilder::PatchLE32(size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

size_t ClassListBuilder::AddClass(int16_t classNumber, uint16_t surfaceType, int32_t textureListOffset)
{
    size_t at = Begin(0x00A1, 10);
    PatchLE16(at + 2, static_cast<uint16_t>(classNumber));
    PatchLE16(at + 4, surfaceType);
    PatchLE32(at + 6, static_cast<uint32_t>(textureListOffset));
    classOffsets_.push_back(at);
    return at;
}

size_t ClassListBuilder::AddTextureList(uint16_t entryCount)
{
    size_t at = Begin(0x0064, 6 + 2 * size_t(entryCount));
    PatchLE16(at + 4, entryCount);
    return at;
}

size_t ClassListBuilder::AddTextureName(const std::string& name, int recordLength)
{
    size_t length = 12 + name.size() + 1;
    size_t at = Begin(0x0043, length);
    PatchLE16(at + 2, static_cast<uint16_t>(recordLength < 0 ? int(length) : recordLength));
    for (size_t i = 0; i < name.size(); ++i)
        bytes_[at + 12 + i] = static_cast<uint8_t>(name[i]);
    return at;
}

size_t ClassListBuilder::AddTexturedClass(int16_t classNumber, uint16_t surfaceType,
                                          const std::string& name, uint16_t entryCount)
{
    size_t at = AddClass(classNumber, surfaceType, 10);
    AddTextureList(entryCount);
    AddTextureName(name);
    return at;
}

size_t ClassListBuilder::AddEnd()
{
    return Begin(0x0000, 2);
}

size_t ClassListBuilder::AddLong(uint32_t length)
{
    // Lengths beyond 1 MiB are for records that claim more than the file
    // holds: only their header is written.
    size_t at = Begin(0x0001, length < 62 ? 62 : length > 0x100000 ? 62 : length);
    PatchLE32(at + 58, length);
    return at;
}

size_t ClassListBuilder::AddEleven(uint16_t opcode)
{
    return Begin(opcode, 11);
}

size_t ClassListBuilder::AddFourteen(uint16_t opcode)
{
    return Begin(opcode, 14);
}

size_t ClassListBuilder::AddSized15(uint16_t opcode, uint16_t length)
{
    size_t at = Begin(opcode, length < 7 ? 7 : length);
    PatchLE16(at + 5, length);
    return at;
}

size_t ClassListBuilder::AddRaw(const std::vector<uint8_t>& bytes)
{
    size_t at = bytes_.size();
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return at;
}

void ClassListBuilder::SetTextureListOffset(size_t classOffset, int32_t textureListOffset)
{
    PatchLE32(classOffset + 6, static_cast<uint32_t>(textureListOffset));
}

bool ClassListBuilder::WriteFile(const std::string& path) const
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes_.data(), 1, bytes_.size(), f) == bytes_.size();
    return std::fclose(f) == 0 && ok;
}

std::string RealisticTextureName(int position, uint16_t surfaceType)
{
    const char* stem;
    switch (surfaceType) {
    case 2: stem = "WATER"; break;
    case 10: stem = "CITY"; break;
    case 11: stem = "FOREST"; break;
    case 3: case 5: case 6: stem = "GRASS"; break;
    default: stem = "LAND"; break;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%s%03d.BMP", stem, position);
    return name;
}

std::vector<uint8_t> BuildRealisticClassList(int classCount)
{
    ClassListBuilder b;
    b.AddLong(64);                       // a header record before the classes
    for (int i = 0; i < classCount; ++i) {
        uint16_t type = DefaultTypeAt(i);
        b.AddTexturedClass(static_cast<int16_t>(i), type, RealisticTextureName(i, type),
                           static_cast<uint16_t>(1 + i % 4));
        if (i % 7 == 3)
            b.AddEleven(0x0105);
        if (i % 11 == 5)
            b.AddFourteen(0x020E);
        if (i % 13 == 9)
            b.AddSized15(0x0015, 24);
    }
    b.AddEnd();
    return b.Bytes();
}
