// Writes a seed corpus for the scan fuzzer: small class lists built by the
// test-file builder, sound ones and damaged ones.
#include <cstdio>
#include <string>

#include "tools/classlist_builder.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    int n = 0;
    auto save = [&](const ClassListBuilder& b) {
        b.WriteFile(folder + "/seed" + std::to_string(n++));
    };

    ClassListBuilder realistic;
    realistic.AddRaw(BuildRealisticClassList(40));
    save(realistic);

    ClassListBuilder fillers;
    fillers.AddEnd();
    fillers.AddLong(70);
    fillers.AddEleven(0x0105);
    fillers.AddEleven(0x000A);
    fillers.AddFourteen(0x030E);
    fillers.AddSized15(0x0015, 12);
    fillers.AddTexturedClass(3, 2, "WATER.BMP", 2);
    save(fillers);

    ClassListBuilder backwards;
    backwards.AddTextureList(2);
    backwards.AddTextureName("BACK.BMP");
    size_t c = backwards.AddClass(-1, 16, 0);
    backwards.SetTextureListOffset(c, -static_cast<int32_t>(c));
    save(backwards);

    ClassListBuilder hostile;
    hostile.AddClass(1, 2, 0x7FFFFFF0);
    hostile.AddClass(2, 2, -100000);
    hostile.AddTextureList(0xFFFF);
    save(hostile);

    ClassListBuilder unnamed;
    unnamed.AddClass(5, 1, 10);
    unnamed.AddTextureList(0);
    unnamed.AddRaw({0x43, 0x00, 0x20, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 'N', 'O', 'E', 'N', 'D'});
    save(unnamed);

    ClassListBuilder unknown;
    unknown.AddClass(9, 0x1234, 0);
    unknown.AddRaw({0x00, 0x01, 0xA1});
    save(unknown);
    return 0;
}
