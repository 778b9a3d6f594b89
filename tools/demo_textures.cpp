#include "tools/demo_textures.h"

#include "tools/classlist_builder.h"
#include "tools/byte_writer.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    int r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t)
{
    return {int(a.r + (b.r - a.r) * t), int(a.g + (b.g - a.g) * t), int(a.b + (b.b - a.b) * t)};
}

uint32_t Hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// Smooth value noise in [0, 1), tiling every `period` cells so that the
// texture repeats without seams the way ground textures must.
double Noise(double x, double y, int period, uint32_t seed)
{
    auto lattice = [&](int ix, int iy) {
        ix = ((ix % period) + period) % period;
        iy = ((iy % period) + period) % period;
        return (Hash(seed ^ Hash(uint32_t(ix) * 73856093U ^ uint32_t(iy) * 19349663U)) & 0xFFFF) /
               65536.0;
    };
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    double fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    double top = lattice(ix, iy) + (lattice(ix + 1, iy) - lattice(ix, iy)) * fx;
    double bottom = lattice(ix, iy + 1) + (lattice(ix + 1, iy + 1) - lattice(ix, iy + 1)) * fx;
    return top + (bottom - top) * fy;
}

double Fractal(double u, double v, uint32_t seed)
{
    double sum = 0, weight = 0.5;
    for (int octave = 0, cells = 4; octave < 4; ++octave, cells *= 2, weight /= 2)
        sum += weight * Noise(u * cells, v * cells, cells, seed + octave);
    return sum / 0.9375;
}

Rgb Water(double u, double v, uint32_t seed)
{
    double n = Fractal(u, v, seed);
    double ripple = std::sin((u * 6 + v * 3 + n * 1.5) * 2 * kPi * 2);
    Rgb deep{18, 52, 120}, shallow{40, 110, 175};
    Rgb c = Mix(deep, shallow, n);
    if (ripple > 0.85)
        c = Mix(c, Rgb{170, 210, 235}, (ripple - 0.85) / 0.15 * 0.6);
    return c;
}

Rgb Grass(double u, double v, uint32_t seed)
{
    double n = Fractal(u, v, seed);
    double patch = Noise(u * 3, v * 3, 3, seed + 17);
    Rgb c = Mix(Rgb{52, 105, 35}, Rgb{120, 165, 60}, n);
    if (patch > 0.72)
        c = Mix(c, Rgb{150, 150, 80}, (patch - 0.72) * 2);
    double blade = (Hash(seed ^ uint32_t(u * 1000) * 31U ^ uint32_t(v * 1000)) & 0xFF) / 255.0;
    return Mix(c, Rgb{30, 70, 20}, blade * 0.15);
}

Rgb Forest(double u, double v, uint32_t seed)
{
    // Tree crowns: a jittered grid of round blobs over a dark floor.
    const int cells = 8;
    double best = 9;
    double shade = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int cx = int(u * cells) + dx, cy = int(v * cells) + dy;
            uint32_t h = Hash(seed ^ uint32_t(((cx + cells) % cells) * 131 + ((cy + cells) % cells)));
            double px = (cx + 0.25 + 0.5 * ((h & 0xFF) / 255.0)) / cells;
            double py = (cy + 0.25 + 0.5 * (((h >> 8) & 0xFF) / 255.0)) / cells;
            double radius = (0.45 + 0.25 * (((h >> 16) & 0xFF) / 255.0)) / cells;
            double d = std::hypot(u - px, v - py) / radius;
            if (d < best) {
                best = d;
                shade = ((h >> 24) & 0xFF) / 255.0;
            }
        }
    }
    Rgb floor{20, 45, 18};
    if (best >= 1)
        return Mix(floor, Rgb{40, 60, 25}, Fractal(u, v, seed));
    Rgb crown = Mix(Rgb{28, 80, 30}, Rgb{60, 120, 45}, shade);
    return Mix(Mix(crown, Rgb{90, 150, 70}, (1 - best) * 0.4), floor, best * best * 0.5);
}

Rgb City(double u, double v, uint32_t seed)
{
    // Streets every eighth of the tile, blocks of roofs between them.
    const int blocks = 4;
    double bx = u * blocks, by = v * blocks;
    double fx = bx - std::floor(bx), fy = by - std::floor(by);
    const double street = 0.12;
    if (fx < street || fy < street) {
        bool marking = (fx < street && std::fabs(fx - street / 2) < 0.01 && int(fy * 10) % 2) ||
                       (fy < street && std::fabs(fy - street / 2) < 0.01 && int(fx * 10) % 2);
        return marking ? Rgb{220, 210, 120} : Rgb{78, 78, 82};
    }
    // Each block splits into a few buildings with roofs of their own colour.
    int lots = 2 + int(Hash(seed ^ uint32_t(int(bx) * 7 + int(by) * 13)) % 2);
    double lx = (fx - street) / (1 - street) * lots, ly = (fy - street) / (1 - street) * lots;
    double gx = lx - std::floor(lx), gy = ly - std::floor(ly);
    uint32_t h = Hash(seed ^ uint32_t(int(bx) * 1009 + int(by) * 917 + int(lx) * 31 + int(ly)));
    static const Rgb roofs[] = {{150, 70, 55}, {170, 165, 155}, {110, 105, 100}, {125, 85, 70}, {185, 180, 170}};
    Rgb roof = roofs[h % 5];
    if (gx < 0.06 || gy < 0.06 || gx > 0.94 || gy > 0.94)
        return Rgb{55, 55, 58};
    if (gx > 0.75 || gy > 0.75)
        return Mix(roof, Rgb{0, 0, 0}, 0.35);
    return Mix(roof, Rgb{255, 255, 255}, 0.1 * Noise(u * 64, v * 64, 64, seed));
}

Rgb Land(double u, double v, uint32_t seed)
{
    double n = Fractal(u, v, seed);
    double furrow = 0.5 + 0.5 * std::sin((u + v * 0.3) * 2 * kPi * 12);
    return Mix(Mix(Rgb{120, 90, 55}, Rgb{170, 140, 95}, n), Rgb{95, 70, 40}, furrow * 0.25);
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

} // namespace

std::vector<uint8_t> PaintTextureBmp(const std::string& textureName, int size)
{
    Rgb (*paint)(double, double, uint32_t) = Land;
    if (StartsWith(textureName, "WATER"))
        paint = Water;
    else if (StartsWith(textureName, "GRASS"))
        paint = Grass;
    else if (StartsWith(textureName, "CITY"))
        paint = City;
    else if (StartsWith(textureName, "FOREST"))
        paint = Forest;
    uint32_t seed = 2166136261U;
    for (unsigned char ch : textureName)
        seed = (seed ^ ch) * 16777619U;

    const uint32_t stride = (uint32_t(size) * 3 + 3) & ~3U;
    const uint32_t pixels = stride * uint32_t(size);
    std::vector<uint8_t> out;
    out.reserve(54 + pixels);
    out.push_back('B');
    out.push_back('M');
    Put32(out, 54 + pixels);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, uint32_t(size));
    Put32(out, uint32_t(size));
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, pixels);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            Rgb c = paint((x + 0.5) / size, (y + 0.5) / size, seed);
            auto clamp = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            out.push_back(clamp(c.b));
            out.push_back(clamp(c.g));
            out.push_back(clamp(c.r));
        }
        out.resize(out.size() + (stride - uint32_t(size) * 3), 0);
    }
    return out;
}

bool WriteDemoGameFolder(const std::string& folder, int classCount, int textureSize)
{
    namespace fs = std::filesystem;
    const fs::path root(folder);
    const fs::path scenery = root / "Scenery" / "All" / "Scenery";
    const fs::path textures = root / "Texture";
    std::error_code ec;
    fs::create_directories(scenery, ec);
    if (!ec)
        fs::create_directories(textures, ec);
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", folder.c_str(), ec.message().c_str());
        return false;
    }
    auto write = [](const fs::path& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out)
            std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        return bool(out);
    };
    const std::vector<uint8_t> list = BuildRealisticClassList(classCount);
    if (!write(scenery / "CLASSLIST.BGL", list))
        return false;
    // Every texture name in the file ends in ".BMP" and starts after the
    // name record's header; take each one back to its first character.
    static const char kExt[] = ".BMP";
    for (size_t at = 0; at + 4 <= list.size(); ++at) {
        if (std::memcmp(&list[at], kExt, 4) != 0)
            continue;
        size_t start = at;
        while (start > 0 && std::isalnum(list[start - 1]))
            --start;
        std::string name(list.begin() + long(start), list.begin() + long(at + 4));
        if (!write(textures / name, PaintTextureBmp(name, textureSize)))
            return false;
    }
    return true;
}
