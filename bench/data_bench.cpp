// The data layer's costs: the record scan beside memcpy of the same bytes and
// beside a plain switch walk, list lines, and one Update round trip. Run on
// demand (build preset `bench`); a summary of ratios follows the usual table.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "data/byte_order.h"
#include "data/class_list_edit.h"
#include "data/record_scan.h"
#include "data/texture_classes.h"
#include "tools/classlist_builder.h"

namespace {

struct Sample {
    std::string name;
    std::vector<uint8_t> bytes;
    size_t records = 0;
};

// Records of every length rule in random order, with at most 1024 classes
// spread through them so that the whole file scans.
std::vector<uint8_t> BuildMixedClassList(size_t targetSize)
{
    std::mt19937 random(20240607);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    ClassListBuilder b;
    const size_t classEvery = targetSize / 16 / 1024 + 1;   // ~16 bytes a record on average
    size_t count = 0;
    while (b.Size() < targetSize) {
        if (++count % classEvery == 0) {
            b.AddTexturedClass(static_cast<int16_t>(count), static_cast<uint16_t>(pick(0, 3)), "MIX.BMP",
                               static_cast<uint16_t>(pick(0, 3)));
            continue;
        }
        const uint16_t high = static_cast<uint16_t>(pick(0, 7) << 8);
        switch (pick(0, 7)) {
        case 0: b.AddEnd(); break;
        case 1: b.AddLong(static_cast<uint32_t>(pick(62, 96))); break;
        case 2: b.AddTextureName(std::string(static_cast<size_t>(pick(3, 12)), 'N')); break;
        case 3: b.AddTextureList(static_cast<uint16_t>(pick(0, 4))); break;
        case 4: b.AddEleven(high | 0x05); break;
        case 5: b.AddEleven(high | 0x0A); break;
        case 6: b.AddFourteen(high | 0x0E); break;
        case 7: b.AddSized15(high | 0x15, static_cast<uint16_t>(pick(7, 24))); break;
        }
    }
    return b.Bytes();
}

// The obvious walk, for comparison: one switch, every length checked against
// what is left, the same tables filled.
__attribute__((noinline)) int SwitchWalk(ClassListFile* file)
{
    std::memset(file->classRecords, 0, sizeof file->classRecords);
    std::memset(file->waterRecords, 0, sizeof file->waterRecords);
    file->classCount = file->waterCount = 0;
    BYTE* const view = file->view;
    const size_t size = file->fileSize;
    size_t pos = 0;
    while (size - pos >= 2) {
        BYTE* r = view + pos;
        const size_t left = size - pos;
        size_t length;
        switch (ReadLE16(r)) {
        case 0x0000: length = 2; break;
        case 0x0001:
            if (left < 62)
                return 0;
            length = ReadLE32(r + 58);
            break;
        case 0x0043:
            if (left < 4 || ReadLE16s(r + 2) <= 0)
                return 0;
            length = static_cast<size_t>(ReadLE16s(r + 2));
            break;
        case 0x0064:
            if (left < 6)
                return 0;
            length = 6 + 2 * size_t(ReadLE16(r + 4));
            break;
        case 0x00A1:
            if (left < 10 || file->classCount == CLASS_TABLE_SIZE)
                return 0;
            file->classRecords[file->classCount++] = r;
            if (ReadLE16(r + 4) == SURFACE_WATER)
                file->waterRecords[file->waterCount++] = r;
            length = 10;
            break;
        default:
            switch (r[0]) {
            case 0x05:
            case 0x0A: length = 11; break;
            case 0x0E: length = 14; break;
            case 0x15:
                if (left < 7)
                    return 0;
                length = ReadLE16(r + 5);
                break;
            default: return 0;
            }
        }
        if (length == 0)
            return 0;
        if (length >= left)
            break;
        pos += length;
    }
    return 1;
}

size_t CountRecords(const std::vector<uint8_t>& bytes)
{
    size_t pos = 0, count = 0;
    while (pos + 2 <= bytes.size()) {
        const BYTE* r = bytes.data() + pos;
        size_t length;
        switch (ReadLE16(r)) {
        case 0x0000: length = 2; break;
        case 0x0001: length = ReadLE32(r + 58); break;
        case 0x0043: length = ReadLE16(r + 2); break;
        case 0x0064: length = 6 + 2 * size_t(ReadLE16(r + 4)); break;
        case 0x00A1: length = 10; break;
        default: length = (r[0] == 0x0E) ? 14 : (r[0] == 0x15) ? ReadLE16(r + 5) : 11; break;
        }
        pos += length;
        ++count;
    }
    return count;
}

ClassListFile g_bench;

void Map(ClassListFile* file, std::vector<uint8_t>& bytes)
{
    std::memset(file, 0, sizeof *file);
    file->view = bytes.data();
    file->fileSize = static_cast<DWORD>(bytes.size());
}

void SetCounters(benchmark::State& state, const Sample& s)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.bytes.size()));
    state.counters["records"] = benchmark::Counter(static_cast<double>(s.records),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Scan(benchmark::State& state, Sample* s)
{
    Map(&g_bench, s->bytes);
    for (auto _ : state) {
        int ok = ScanClassList(&g_bench);
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    SetCounters(state, *s);
}

void BM_SwitchWalk(benchmark::State& state, Sample* s)
{
    Map(&g_bench, s->bytes);
    for (auto _ : state) {
        int ok = SwitchWalk(&g_bench);
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    SetCounters(state, *s);
}

void BM_Memcpy(benchmark::State& state, Sample* s)
{
    std::vector<uint8_t> to(s->bytes.size());
    for (auto _ : state) {
        std::memcpy(to.data(), s->bytes.data(), s->bytes.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    SetCounters(state, *s);
}

void BM_FormatAllLines(benchmark::State& state, Sample* s)
{
    Map(&g_classListFile, s->bytes);
    ScanClassList(&g_classListFile);
    char line[CLASS_LINE_SIZE];
    for (auto _ : state) {
        for (DWORD i = 0; i < g_classListFile.classCount; ++i) {
            FormatClassLine(g_classListFile.classRecords[i], line);
            benchmark::DoNotOptimize(line);
        }
    }
    state.counters["lines"] = benchmark::Counter(g_classListFile.classCount,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

// Update on every class, then the rescan that follows it in the dialog.
void BM_UpdateRoundTrip(benchmark::State& state, Sample* s)
{
    Map(&g_classListFile, s->bytes);
    ScanClassList(&g_classListFile);
    std::vector<BYTE*> ticked(g_classListFile.classRecords,
                              g_classListFile.classRecords + g_classListFile.classCount);
    DWORD code = 2;
    for (auto _ : state) {
        ApplySurfaceType(code, ticked.data(), static_cast<DWORD>(ticked.size()));
        int ok = ScanClassList(&g_classListFile);
        benchmark::DoNotOptimize(ok);
        code ^= 1;   // Water and Bumpy grass in turn, so the water table changes
    }
    state.counters["classes"] = benchmark::Counter(static_cast<double>(ticked.size()));
}

// The same through the dialog's edit path: the file checked against its
// listing and the stores in one guarded pass, then the rescan and the listing
// the list is shown from. The backup, a file beside the class list, is not
// part of it: this file is in memory.
void BM_EditRoundTrip(benchmark::State& state, Sample* s)
{
    Map(&g_classListFile, s->bytes);
    ScanClassList(&g_classListFile);
    std::unique_ptr<ClassListing> listing(new ClassListing());
    ListClasses(&g_classListFile, listing.get());
    std::vector<DWORD> all(listing->count);
    std::iota(all.begin(), all.end(), 0);
    EditRequest request;
    request.backUp = false;
    SurfaceType code = 2;
    for (auto _ : state) {
        request.changes = PlanSet(*listing, all, code);
        const EditResult result = EditClassList(&g_classListFile, *listing, "CLASSLIST.BGL", request);
        if (result.outcome != EDIT_DONE) {
            state.SkipWithError("the edit was refused");
            break;
        }
        ScanClassList(&g_classListFile);
        ListClasses(&g_classListFile, listing.get());
        code ^= 1;
    }
    state.counters["classes"] = benchmark::Counter(static_cast<double>(all.size()));
}

// Prints the usual table, then remembers for the summary the fastest
// repetition of each benchmark, or its median when only aggregates are kept.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median)
                continue;
            double seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            auto [it, fresh] = best_.emplace(run.run_name.function_name, seconds);
            if (!fresh)
                it->second = std::min(it->second, seconds);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    double Seconds(const std::string& name) const
    {
        auto it = best_.find(name);
        return it == best_.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> best_;
};

} // namespace

int main(int argc, char** argv)
{
    std::vector<Sample> samples = {
        {"realistic256", BuildRealisticClassList(256)},
        {"realistic1024", BuildRealisticClassList(1024)},
        {"mixed4MiB", BuildMixedClassList(4u << 20)},
    };
    for (Sample& s : samples) {
        s.records = CountRecords(s.bytes);
        Map(&g_bench, s.bytes);
        int scanned = ScanClassList(&g_bench);
        int walked = SwitchWalk(&g_bench);
        if (scanned != 1 || walked != 1) {
            std::fprintf(stderr, "%s does not scan whole (scan %d, walk %d, error %u)\n", s.name.c_str(),
                         scanned, walked, static_cast<unsigned>(GetLastError()));
            return 1;
        }
        benchmark::RegisterBenchmark(("scan/" + s.name).c_str(), BM_Scan, &s);
        benchmark::RegisterBenchmark(("switchwalk/" + s.name).c_str(), BM_SwitchWalk, &s);
        benchmark::RegisterBenchmark(("memcpy/" + s.name).c_str(), BM_Memcpy, &s);
    }
    Sample& full = samples[1];
    benchmark::RegisterBenchmark("format_lines/realistic1024", BM_FormatAllLines, &full);
    Sample editable = full;   // the round trip writes into its own copy
    benchmark::RegisterBenchmark("update_round_trip/realistic1024", BM_UpdateRoundTrip, &editable);
    benchmark::RegisterBenchmark("edit_round_trip/realistic1024", BM_EditRoundTrip, &editable);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-14s %8s %9s %10s %10s %12s %14s\n", "file", "records", "bytes", "ns/record",
                "GB/s scan", "scan/memcpy", "scan/switchwalk");
    for (const Sample& s : samples) {
        double scan = reporter.Seconds("scan/" + s.name);
        double copy = reporter.Seconds("memcpy/" + s.name);
        double walk = reporter.Seconds("switchwalk/" + s.name);
        if (scan == 0)
            continue;
        std::printf("%-14s %8zu %9zu %10.2f %10.2f %12.1f %14.2f\n", s.name.c_str(), s.records,
                    s.bytes.size(), scan * 1e9 / static_cast<double>(s.records),
                    static_cast<double>(s.bytes.size()) / scan / 1e9, copy > 0 ? scan / copy : 0,
                    walk > 0 ? scan / walk : 0);
    }
    const double stores = reporter.Seconds("update_round_trip/realistic1024");
    const double edit = reporter.Seconds("edit_round_trip/realistic1024");
    if (stores > 0 && edit > 0)
        std::printf("\nUpdate of 1024 classes through the edit path: %.1f us, %.2f times the bare stores and rescan\n",
                    edit * 1e6, edit / stores);
    return 0;
}
