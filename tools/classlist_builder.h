// Writes class list files from a description, for tests, fuzz seeds, the
// benchmark and the demo game folder. Plain bytes, little-endian, no checks:
// it builds broken files as readily as sound ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class ClassListBuilder {
public:
    // A texture class record; returns its offset in the file.
    size_t AddClass(int16_t classNumber, uint16_t surfaceType, int32_t textureListOffset);
    // A texture list record with `entryCount` zero entries.
    size_t AddTextureList(uint16_t entryCount);
    // A texture name record: 12 header bytes, the name and its zero byte.
    // recordLength < 0 means "the true length".
    size_t AddTextureName(const std::string& name, int recordLength = -1);
    // Class, list and name back to back, the class pointing at its list.
    size_t AddTexturedClass(int16_t classNumber, uint16_t surfaceType, const std::string& name,
                            uint16_t entryCount = 1);

    // Records the scan only steps over, one per length rule.
    size_t AddEnd();                                         // 0x0000, 2 bytes
    size_t AddLong(uint32_t length);                         // 0x0001, length at 58 (>= 62; header only past 1 MiB)
    size_t AddEleven(uint16_t opcode);                       // low byte 0x05 or 0x0A
    size_t AddFourteen(uint16_t opcode);                     // low byte 0x0E
    size_t AddSized15(uint16_t opcode, uint16_t length);     // low byte 0x15, length at 5 (>= 7)
    // Any bytes at all, for unrecognised or truncated records.
    size_t AddRaw(const std::vector<uint8_t>& bytes);

    void SetTextureListOffset(size_t classOffset, int32_t textureListOffset);
    void PatchLE16(size_t offset, uint16_t value);
    void PatchLE32(size_t offset, uint32_t value);

    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    // Where AddClass put each class record, in file order; records written
    // with AddRaw are not among them.
    const std::vector<size_t>& ClassOffsets() const { return classOffsets_; }
    bool WriteFile(const std::string& path) const;

private:
    size_t Begin(uint16_t opcode, size_t length);

    std::vector<uint8_t> bytes_;
    std::vector<size_t> classOffsets_;
};

// A class list laid out the way the game's own is: `classCount` textured
// classes whose surface types follow the default table (positions past 255
// get Bumpy grass), with filler records between them. Texture names are
// "<stem><nnn>.BMP", stems by surface type (WATER, CITY, GRASS, FOREST ...).
std::vector<uint8_t> BuildRealisticClassList(int classCount);
// The texture name the realistic list gives the class at `position`.
std::string RealisticTextureName(int position, uint16_t surfaceType);
