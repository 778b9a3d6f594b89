// Writes res/turfwise.ico: a 32x32 and a 16x16 image in the 16 standard
// colours, a mown turf square with a corner of water. Run it again only to
// change the picture; the build uses the committed file.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tools/byte_writer.h"

namespace {

enum Colour : uint8_t {
    BLACK = 0, DARK_GREEN = 2, DARK_BLUE = 4, GREY = 8, SILVER = 7,
    GREEN = 10, CYAN = 14, BLUE = 12, WHITE = 15,
};

// The Windows 16-colour palette, as RGBQUAD (blue, green, red, 0).
const uint8_t kPalette[16][4] = {
    {0, 0, 0, 0},       {0, 0, 128, 0},     {0, 128, 0, 0},     {0, 128, 128, 0},
    {128, 0, 0, 0},     {128, 0, 128, 0},   {128, 128, 0, 0},   {192, 192, 192, 0},
    {128, 128, 128, 0}, {0, 0, 255, 0},     {0, 255, 0, 0},     {0, 255, 255, 0},
    {255, 0, 0, 0},     {255, 0, 255, 0},   {255, 255, 0, 0},   {255, 255, 255, 0},
};

struct Image {
    int size;
    std::vector<uint8_t> colour;   // top-down, one index per pixel
    std::vector<uint8_t> opaque;
};

// Rounded square: turf in diagonal mowing stripes, water in the lower right
// corner with a white runway strip between them.
Image Paint(int n)
{
    Image img{n, std::vector<uint8_t>(n * n, 0), std::vector<uint8_t>(n * n, 0)};
    const int corner = n / 8;
    const int stripe = n / 8;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            int dx = x < corner ? corner - x : (x >= n - corner ? x - (n - 1 - corner) : 0);
            int dy = y < corner ? corner - y : (y >= n - corner ? y - (n - 1 - corner) : 0);
            if (dx * dx + dy * dy > corner * corner)
                continue;
            bool edge = dx * dx + dy * dy > (corner - 1) * (corner - 1) || x == 0 || y == 0 ||
                        x == n - 1 || y == n - 1;
            uint8_t c;
            int diag = x + y;
            if (edge)
                c = BLACK;
            else if (diag > n + n / 3)
                c = ((x * 3 + y * 5) / (n / 4 + 1)) % 4 == 0 ? CYAN : BLUE;
            else if (diag > n + n / 3 - n / 8)
                c = (x / (n / 8 + 1)) % 2 ? WHITE : SILVER;
            else
                c = ((x - y + n) / stripe) % 2 ? GREEN : DARK_GREEN;
            img.colour[y * n + x] = c;
            img.opaque[y * n + x] = 1;
        }
    }
    return img;
}

// The DIB of one icon image: header, palette, colour bits, transparency mask,
// rows bottom-up and padded to four bytes.
std::vector<uint8_t> Dib(const Image& img)
{
    const int n = img.size;
    const int xorStride = ((n * 4 + 31) / 32) * 4;
    const int andStride = ((n + 31) / 32) * 4;
    std::vector<uint8_t> out;
    Put32(out, 40);
    Put32(out, n);
    Put32(out, 2 * n);
    Put16(out, 1);
    Put16(out, 4);
    Put32(out, 0);
    Put32(out, (xorStride + andStride) * n);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 16);
    Put32(out, 0);
    for (const auto& q : kPalette)
        out.insert(out.end(), q, q + 4);
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(xorStride, 0);
        for (int x = 0; x < n; ++x)
            row[x / 2] |= uint8_t(img.colour[y * n + x] << (x % 2 ? 0 : 4));
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(andStride, 0);
        for (int x = 0; x < n; ++x)
            if (!img.opaque[y * n + x])
                row[x / 8] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon OUTPUT.ico\n");
        return 2;
    }
    const std::vector<uint8_t> images[] = {Dib(Paint(32)), Dib(Paint(16))};
    const int sizes[] = {32, 16};
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 2);
    uint32_t offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        out.push_back(uint8_t(sizes[i]));
        out.push_back(uint8_t(sizes[i]));
        out.push_back(16);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 4);
        Put32(out, uint32_t(images[i].size()));
        Put32(out, offset);
        offset += uint32_t(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
