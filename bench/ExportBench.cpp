// Throughput of the exchange-file writer against one bulk write of the same number of bytes,
// into memory and into a file, for a model of about one million triangles.
#include "ExportTVL.h"
#include "TvlArchive.h"
#include "TvlLayout.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace KorvaneGeometry;
namespace fs = std::filesystem;

namespace {

constexpr int kParts = 4;
constexpr int kBodiesPerPart = 2;
constexpr int kGrid = 250; // 2 * 250 * 250 triangles per body, 8 bodies: 1,000,000
constexpr int kSurfacesPerBody = 40;

void buildModel(CAD_Assembly& model) {
    model.setSourceSystem("Creo Parametric 9.0.4.0");
    model.setName("BENCH_ASM");
    AssemblyNode& top = model.nodes.emplace_back();
    top.name = "BENCH_ASM";
    top.attributes.emplace_back(L"Projekt", L"Geh\u00e4use");
    for (int p = 0; p < kParts; ++p) {
        SinglePart part;
        part.name = "PART_" + std::to_string(p);
        part.cti = 600;
        part.attributes.emplace_back(L"Material", L"Stahl");
        for (int b = 0; b < kBodiesPerPart; ++b) {
            SolidBody& body = part.bodies.emplace_back();
            body.index = b;
            body.cti = 175;
            body.colour = {0.2, 0.4, 0.6};
            for (int s = 0; s < kSurfacesPerBody; ++s) {
                Surface& surface = body.surfaces.emplace_back();
                surface.index = s;
                surface.cti = -1;
                surface.colour = kNoColour;
                surface.kind = SurfaceKindCylinder;
                surface.origin = {1.0 * s, 2.0, 3.0};
                surface.axis = {0.0, 0.0, 1.0};
                surface.radius = 5.0;
                surface.orientationPositive = true;
            }
            body.mesh.points.reserve((kGrid + 1) * (kGrid + 1));
            for (int y = 0; y <= kGrid; ++y) {
                for (int x = 0; x <= kGrid; ++x) {
                    body.mesh.addPoint(Point3(x * 0.1, y * 0.1, 0.01 * ((x * y) % 7)));
                }
            }
            body.mesh.triangles.reserve(2 * kGrid * kGrid);
            for (int y = 0; y < kGrid; ++y) {
                for (int x = 0; x < kGrid; ++x) {
                    const int a = y * (kGrid + 1) + x;
                    const int surface = (x * kSurfacesPerBody) / kGrid;
                    body.mesh.addTriangle(Triangle(a, a + 1, a + kGrid + 1, surface));
                    body.mesh.addTriangle(Triangle(a + 1, a + kGrid + 2, a + kGrid + 1, surface));
                }
            }
        }
        model.appendPart(part);
        Matrix4 placed = kIdentityMatrix;
        placed[3] = 100.0 * p;
        model.addComponent(part.name, placed, kNoColour);
    }
}

const CAD_Assembly& model() {
    static const auto built = [] {
        auto m = std::make_unique<CAD_Assembly>();
        buildModel(*m);
        return m;
    }();
    return *built;
}

// A stream buffer over memory that is allocated once: what a write into memory costs when
// the memory is there already.
class MemoryBuf : public std::streambuf {
public:
    explicit MemoryBuf(std::vector<char>& storage) {
        setp(storage.data(), storage.data() + storage.size());
    }
    std::size_t size() const { return static_cast<std::size_t>(pptr() - pbase()); }
};

std::size_t fileSize() {
    static const std::size_t size = [] {
        std::ostringstream out;
        ArchiveWithVersion<std::ostream> archive{&out, kFileVersion, [] { return false; }};
        KorvaneUtil::serialize(model(), archive);
        return out.str().size();
    }();
    return size;
}

std::vector<char>& storage() {
    static std::vector<char> memory(fileSize() + 1024, '\0');
    return memory;
}

const std::vector<char>& source() {
    static const std::vector<char> bytes(fileSize(), 'x');
    return bytes;
}

fs::path benchFile(const char* name) {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / "tarvelo-export-bench";
        fs::create_directories(d);
        return d;
    }();
    return dir / name;
}

// The sizes of the writer's stream writes, in order, recorded once.
const std::vector<unsigned char>& writeSizes() {
    static const std::vector<unsigned char> sizes = [] {
        struct Recorder : std::streambuf {
            std::vector<unsigned char> sizes;
            std::streamsize xsputn(const char*, std::streamsize n) override {
                sizes.push_back(static_cast<unsigned char>(n));
                return n;
            }
        } recorder;
        std::ostream out(&recorder);
        ArchiveWithVersion<std::ostream> archive{&out, kFileVersion, [] { return false; }};
        KorvaneUtil::serialize(model(), archive);
        return recorder.sizes;
    }();
    return sizes;
}

// The same sequence of std::ostream::write calls with nothing around them: the ceiling of any
// writer that hands every primitive to the stream on its own.
void BM_WriteCallsToMemory(benchmark::State& state) {
    const std::vector<unsigned char>& sizes = writeSizes();
    const std::vector<char>& bytes = source();
    std::vector<char>& memory = storage();
    for (auto _ : state) {
        MemoryBuf buf(memory);
        std::ostream out(&buf);
        const char* from = bytes.data();
        for (const unsigned char n : sizes) {
            out.write(from, n);
            if (out.fail()) {
                state.SkipWithError("write failed");
                break;
            }
            from += n;
        }
        benchmark::DoNotOptimize(memory.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

void BM_WriterToMemory(benchmark::State& state) {
    const CAD_Assembly& m = model();
    std::vector<char>& memory = storage();
    for (auto _ : state) {
        MemoryBuf buf(memory);
        std::ostream out(&buf);
        ArchiveWithVersion<std::ostream> archive{&out, kFileVersion, [] { return false; }};
        KorvaneUtil::serialize(m, archive);
        if (buf.size() != fileSize()) {
            state.SkipWithError("writer wrote an unexpected size");
        }
        benchmark::DoNotOptimize(memory.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

void BM_BulkToMemory(benchmark::State& state) {
    const std::vector<char>& bytes = source();
    std::vector<char>& memory = storage();
    for (auto _ : state) {
        MemoryBuf buf(memory);
        std::ostream out(&buf);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (out.fail()) {
            state.SkipWithError("bulk write failed");
        }
        benchmark::DoNotOptimize(memory.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

// A fresh std::ostringstream each time: memory that has to grow while it is written.
void BM_WriterToStringStream(benchmark::State& state) {
    const CAD_Assembly& m = model();
    for (auto _ : state) {
        std::ostringstream out;
        ArchiveWithVersion<std::ostream> archive{&out, kFileVersion, [] { return false; }};
        KorvaneUtil::serialize(m, archive);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

void BM_BulkToStringStream(benchmark::State& state) {
    const std::vector<char>& bytes = source();
    for (auto _ : state) {
        std::ostringstream out;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

void BM_ExportTVLToFile(benchmark::State& state) {
    const CAD_Assembly& m = model();
    const fs::path path = benchFile("writer.tvl");
    fs::remove(path);
    for (auto _ : state) {
        ExportTVL(m, path);
        state.PauseTiming();
        if (fs::file_size(path) != fileSize()) {
            state.SkipWithError("ExportTVL wrote an unexpected size");
        }
        fs::remove(path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

void BM_BulkToFile(benchmark::State& state) {
    const std::vector<char>& bytes = source();
    const fs::path path = benchFile("bulk.tvl");
    fs::remove(path);
    for (auto _ : state) {
        {
            std::ofstream out(path, std::ios::binary);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.close();
            if (out.fail()) {
                state.SkipWithError("bulk write failed");
            }
        }
        state.PauseTiming();
        fs::remove(path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileSize()));
}

constexpr int kRepetitions = 5;

BENCHMARK(BM_WriterToMemory)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();
BENCHMARK(BM_WriteCallsToMemory)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();
BENCHMARK(BM_BulkToMemory)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();
BENCHMARK(BM_WriterToStringStream)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();
BENCHMARK(BM_BulkToStringStream)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();
BENCHMARK(BM_ExportTVLToFile)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();
BENCHMARK(BM_BulkToFile)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly();

// Keeps the median throughput of every benchmark so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    std::map<std::string, double> medianBytesPerSecond;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const auto found = run.counters.find("bytes_per_second");
                if (found != run.counters.end()) {
                    medianBytesPerSecond[run.run_name.function_name] = found->second.value;
                }
            }
        }
    }
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    std::size_t triangles = 0;
    std::size_t points = 0;
    for (const SinglePart& part : model().parts) {
        for (const SolidBody& body : part.bodies) {
            triangles += body.mesh.triangles.size();
            points += body.mesh.points.size();
        }
    }
    std::printf("model: %zu triangles, %zu points, %zu bytes in the file, %zu stream writes\n",
                triangles, points, fileSize(), writeSizes().size());

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const std::pair<const char*, const char*> pairs[] = {
        {"BM_WriterToMemory", "BM_BulkToMemory"},
        {"BM_WriterToMemory", "BM_WriteCallsToMemory"},
        {"BM_WriteCallsToMemory", "BM_BulkToMemory"},
        {"BM_WriterToStringStream", "BM_BulkToStringStream"},
        {"BM_ExportTVLToFile", "BM_BulkToFile"},
    };
    std::printf("\nmedian throughput, writer against one bulk write of the same bytes:\n");
    for (const auto& [writer, bulk] : pairs) {
        const auto w = reporter.medianBytesPerSecond.find(writer);
        const auto b = reporter.medianBytesPerSecond.find(bulk);
        if (w == reporter.medianBytesPerSecond.end() || b == reporter.medianBytesPerSecond.end()) {
            continue; // filtered out
        }
        std::printf("  %-24s %9.1f MB/s   %-22s %9.1f MB/s   ratio %5.1f %%\n", writer,
                    w->second / 1e6, bulk, b->second / 1e6, 100.0 * w->second / b->second);
    }
    std::error_code ignored;
    fs::remove_all(benchFile("x").parent_path(), ignored);
    return 0;
}
