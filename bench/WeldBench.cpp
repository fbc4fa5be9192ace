// Welding a realistic tessellated body: a cylinder mantle of 1000 x 500 quads, two triangles per
// quad, collected with six corners per quad (3 million points that weld into 501,000). Every
// grid point's coordinates are computed once and reused, so neighbouring triangles share their
// corners exactly, as a tessellation hands them over. The weld is timed against meshoptimizer's
// exact-match vertex remap on the same collected points, and its peak extra memory is measured
// with the counting operator new / delete of this program.
#include "PointWelding.h"
#include "ReferenceWeld.h"
#include "SolidBody.h"
#include "TriangleCollector.h"

#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <numbers>
#include <random>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Counting allocation: every block carries its size in a 16-byte header.

namespace {

std::atomic<std::size_t> g_liveBytes{0};
std::atomic<std::size_t> g_peakBytes{0};

void* countedAllocate(std::size_t size) {
    void* block = std::malloc(size + 16);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const std::size_t live = g_liveBytes += size;
    std::size_t peak = g_peakBytes.load();
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + 16;
}

void countedRelease(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    void* block = static_cast<char*>(pointer) - 16;
    g_liveBytes -= *static_cast<std::size_t*>(block);
    std::free(block);
}

// Peak of live heap bytes above the level at the start, while fn runs.
template <class Fn> std::size_t peakExtraBytes(Fn fn) {
    const std::size_t before = g_liveBytes.load();
    g_peakBytes = before;
    fn();
    return g_peakBytes.load() - before;
}

} // namespace

void* operator new(std::size_t size) {
    return countedAllocate(size);
}
void* operator new[](std::size_t size) {
    return countedAllocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return countedAllocate(size);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* pointer) noexcept {
    countedRelease(pointer);
}
void operator delete[](void* pointer) noexcept {
    countedRelease(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    countedRelease(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    countedRelease(pointer);
}
void operator delete(void* pointer, const std::nothrow_t&) noexcept {
    countedRelease(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    countedRelease(pointer);
}

// ---------------------------------------------------------------------------------------------

namespace {

using namespace KorvaneGeometry;

constexpr int kAround = 1000;
constexpr int kAlong = 500;
constexpr int kSurfaces = 4; // the mantle split into four faces, as a host often does

struct Cylinder {
    TriangleCollector collector;
    SolidBody emptyBody;

    // nudged: every corner's coordinates moved by -1, 0 or +1 steps of the last digit, as when
    // the surfaces on both sides of an edge compute its points each on their own. Coordinates
    // then form chains wider than the tolerance and the weld needs its tree.
    explicit Cylinder(bool nudged) {
        std::mt19937 random(11);
        auto nudge = [&](double v) {
            switch (random() % 3) {
            case 0:
                return std::nextafter(v, -INFINITY);
            case 1:
                return v;
            default:
                return std::nextafter(v, INFINITY);
            }
        };
        const double radius = 25.0;
        const double height = 100.0;
        std::vector<double> xs(kAround), ys(kAround), zs(kAlong + 1);
        for (int i = 0; i < kAround; ++i) {
            const double angle = 2.0 * std::numbers::pi * i / kAround;
            xs[static_cast<std::size_t>(i)] = radius * std::cos(angle);
            ys[static_cast<std::size_t>(i)] = radius * std::sin(angle);
        }
        for (int j = 0; j <= kAlong; ++j) {
            zs[static_cast<std::size_t>(j)] = height * j / kAlong;
        }
        auto at = [&](int i, int j) {
            const auto a = static_cast<std::size_t>(i % kAround);
            const double z = zs[static_cast<std::size_t>(j)];
            if (nudged) {
                return Point3(nudge(xs[a]), nudge(ys[a]), nudge(z));
            }
            return Point3(xs[a], ys[a], z);
        };
        collector.points.reserve(6u * kAround * kAlong);
        collector.triangles.reserve(2u * kAround * kAlong);
        for (int j = 0; j < kAlong; ++j) {
            for (int i = 0; i < kAround; ++i) {
                const int surface = i * kSurfaces / kAround;
                collector.addTriangle(at(i, j), at(i + 1, j), at(i + 1, j + 1), surface);
                collector.addTriangle(at(i, j), at(i + 1, j + 1), at(i, j + 1), surface);
            }
        }
        for (int s = 0; s < kSurfaces; ++s) {
            emptyBody.surfaces.emplace_back();
            emptyBody.surfaces.back().index = s;
            emptyBody.surfaces.back().cti = 300;
        }
    }
};

const Cylinder& cylinder() {
    static const Cylinder c(false);
    return c;
}

const Cylinder& nudgedCylinder() {
    static const Cylinder c(true);
    return c;
}

void setRate(benchmark::State& state) {
    state.counters["points/s"] =
        benchmark::Counter(static_cast<double>(cylinder().collector.points.size()),
                           benchmark::Counter::kIsIterationInvariantRate);
}

void BM_WeldInto(benchmark::State& state) {
    const Cylinder& c = cylinder();
    for (auto _ : state) {
        SolidBody body = c.emptyBody;
        c.collector.weldInto(body);
        benchmark::DoNotOptimize(body.mesh.triangles.data());
    }
    setRate(state);
}

void BM_WeldPointsOnly(benchmark::State& state) {
    const Cylinder& c = cylinder();
    for (auto _ : state) {
        std::vector<int> newIndex;
        std::vector<Point3> points;
        weldPoints(c.collector.points, newIndex, points);
        benchmark::DoNotOptimize(points.data());
    }
    setRate(state);
}

void BM_MeshoptRemap(benchmark::State& state) {
    const Cylinder& c = cylinder();
    const std::size_t n = c.collector.points.size();
    for (auto _ : state) {
        std::vector<unsigned int> remap(n);
        const std::size_t unique = meshopt_generateVertexRemap(
            remap.data(), nullptr, n, c.collector.points.data(), n, sizeof(Point3));
        benchmark::DoNotOptimize(unique);
    }
    setRate(state);
}

void BM_ReferenceWeldTree(benchmark::State& state) {
    const Cylinder& c = cylinder();
    for (auto _ : state) {
        SolidBody body = c.emptyBody;
        WeldReference::weld(c.collector, body, WeldReference::weldPointsWithTree);
        benchmark::DoNotOptimize(body.mesh.triangles.data());
    }
    setRate(state);
}

void BM_ReferenceWeldStdMap(benchmark::State& state) {
    const Cylinder& c = cylinder();
    for (auto _ : state) {
        SolidBody body = c.emptyBody;
        WeldReference::weld(c.collector, body, WeldReference::weldPointsWithStdMap);
        benchmark::DoNotOptimize(body.mesh.triangles.data());
    }
    setRate(state);
}

void BM_WeldIntoNudged(benchmark::State& state) {
    const Cylinder& c = nudgedCylinder();
    for (auto _ : state) {
        SolidBody body = c.emptyBody;
        c.collector.weldInto(body);
        benchmark::DoNotOptimize(body.mesh.triangles.data());
    }
    setRate(state);
}

void BM_ReferenceWeldTreeNudged(benchmark::State& state) {
    const Cylinder& c = nudgedCylinder();
    for (auto _ : state) {
        SolidBody body = c.emptyBody;
        WeldReference::weld(c.collector, body, WeldReference::weldPointsWithTree);
        benchmark::DoNotOptimize(body.mesh.triangles.data());
    }
    setRate(state);
}

BENCHMARK(BM_WeldInto)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_MeshoptRemap)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_WeldPointsOnly)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_ReferenceWeldTree)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3);
BENCHMARK(BM_ReferenceWeldStdMap)->Unit(benchmark::kMillisecond)->Iterations(2)->Repetitions(3);
BENCHMARK(BM_WeldIntoNudged)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ReferenceWeldTreeNudged)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// Keeps the per-iteration time of every repetition, for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                seconds[run.run_name.function_name].push_back(run.real_accumulated_time /
                                                              static_cast<double>(run.iterations));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Fastest and median repetition, in seconds; 0 when the benchmark did not run.
    std::pair<double, double> fastestAndMedian(const std::string& name) {
        auto it = seconds.find(name);
        if (it == seconds.end() || it->second.empty()) {
            return {0, 0};
        }
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        return {v.front(), v[v.size() / 2]};
    }

    std::map<std::string, std::vector<double>> seconds;
};

double megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    const Cylinder& c = cylinder();
    const std::size_t n = c.collector.points.size();

    // Memory, measured once each outside the timed runs.
    SolidBody body = c.emptyBody;
    const std::size_t weldPeak = peakExtraBytes([&] { c.collector.weldInto(body); });
    const std::size_t meshBytes = body.mesh.points.capacity() * sizeof(Point3) +
                                  body.mesh.triangles.capacity() * sizeof(Triangle);
    std::vector<unsigned int> remap(n);
    std::size_t remapUnique = 0;
    const std::size_t meshoptPeak = peakExtraBytes([&] {
        remapUnique = meshopt_generateVertexRemap(remap.data(), nullptr, n,
                                                  c.collector.points.data(), n, sizeof(Point3));
    });

    // The fast weld must give exactly the point-by-point result; the ordering is a strict weak
    // order on these points (their only close values are neighbours that it sees as equal), so
    // the std::map weld is a valid reference here too.
    auto sameMesh = [](const SolidBody& a, const SolidBody& b) {
        if (a.mesh.points.size() != b.mesh.points.size() ||
            a.mesh.triangles.size() != b.mesh.triangles.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.mesh.points.size(); ++i) {
            const Point3& p = a.mesh.points[i];
            const Point3& q = b.mesh.points[i];
            if (!(p.x == q.x && p.y == q.y && p.z == q.z)) {
                return false;
            }
        }
        for (std::size_t i = 0; i < a.mesh.triangles.size(); ++i) {
            const Triangle& t = a.mesh.triangles[i];
            const Triangle& u = b.mesh.triangles[i];
            if (!(t == u) || t.surface != u.surface) {
                return false;
            }
        }
        return true;
    };
    SolidBody byMap = c.emptyBody;
    WeldReference::weld(c.collector, byMap, WeldReference::weldPointsWithStdMap);
    const Cylinder& nudged = nudgedCylinder();
    SolidBody nudgedFast = nudged.emptyBody;
    nudged.collector.weldInto(nudgedFast);
    SolidBody nudgedTree = nudged.emptyBody;
    WeldReference::weld(nudged.collector, nudgedTree, WeldReference::weldPointsWithTree);

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto weld = reporter.fastestAndMedian("BM_WeldInto");
    const auto meshopt = reporter.fastestAndMedian("BM_MeshoptRemap");
    const auto points = reporter.fastestAndMedian("BM_WeldPointsOnly");
    const auto tree = reporter.fastestAndMedian("BM_ReferenceWeldTree");
    const auto stdMap = reporter.fastestAndMedian("BM_ReferenceWeldStdMap");
    const auto weldNudged = reporter.fastestAndMedian("BM_WeldIntoNudged");
    const auto treeNudged = reporter.fastestAndMedian("BM_ReferenceWeldTreeNudged");
    std::printf("\nCylinder mantle: %zu collected triangles, %zu collected points\n",
                c.collector.triangles.size(), n);
    std::printf("welded: %zu points, %zu triangles; meshoptimizer finds %zu distinct points\n",
                body.mesh.points.size(), body.mesh.triangles.size(), remapUnique);
    std::printf("weldInto equals the point-by-point std::map weld: %s\n",
                sameMesh(body, byMap) ? "yes" : "NO");
    std::printf("nudged copy: welded into %zu points, %zu triangles; equals the point-by-point "
                "tree weld: %s\n",
                nudgedFast.mesh.points.size(), nudgedFast.mesh.triangles.size(),
                sameMesh(nudgedFast, nudgedTree) ? "yes" : "NO");
    auto line = [&](const char* what, std::pair<double, double> t) {
        if (t.first > 0) {
            std::printf("  %-36s fastest %8.1f ms, median %8.1f ms, %6.1f M points/s\n", what,
                        t.first * 1e3, t.second * 1e3, static_cast<double>(n) / t.first / 1e6);
        }
    };
    line("weldInto", weld);
    line("weldPoints alone", points);
    line("meshopt_generateVertexRemap", meshopt);
    line("point-by-point weld, own tree", tree);
    line("point-by-point weld, std::map", stdMap);
    line("nudged: weldInto", weldNudged);
    line("nudged: point-by-point weld, own tree", treeNudged);
    if (weld.first > 0 && meshopt.first > 0) {
        std::printf("weldInto / remap: %.2f (fastest), %.2f (median)\n", weld.first / meshopt.first,
                    weld.second / meshopt.second);
    }
    std::printf("peak extra heap during weldInto: %.1f MB, of which the finished mesh %.1f MB\n",
                megabytes(weldPeak), megabytes(meshBytes));
    std::printf("peak extra heap during the remap: %.1f MB, besides its %.1f MB remap table\n",
                megabytes(meshoptPeak), megabytes(n * sizeof(unsigned int)));
    std::printf("(heap: bytes requested through operator new and not yet deleted, counted by "
                "this program's replacement of the global operators)\n");
    benchmark::Shutdown();
    return 0;
}
