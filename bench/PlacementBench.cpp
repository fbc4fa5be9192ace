// Time per placement of large assemblies through the stand-in host: one part placed 10,000 and
// 100,000 times, 100 parts placed 1,000 times each, and the same 100,000 placements with every
// tenth one flexible (a part of its own each). Next to it, the duplicate search alone
// (CAD_Assembly::addComponent) on the same placements, and the writer on the extracted model.
#include "ExportTVL.h"
#include "HostSession.h"
#include "RepeatedExtraction.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

struct Layout {
    int parts;
    int placements;
    int flexibleEvery; // 0: none flexible
};

std::wstring partName(int p) {
    return L"BOLT_" + std::to_wstring(p);
}

// Placement i: a grid 25 mm apart, 100 by 100 per layer, each turned about z by its own angle.
Hostsim::Matrix placement(int i) {
    const double x = 25.0 * (i % 100), y = 25.0 * ((i / 100) % 100), z = 25.0 * (i / 10000);
    return Hostsim::multiply(Hostsim::rotationZMatrix((i * 7) % 360),
                             Hostsim::translationMatrix(x, y, z));
}

void buildScene(Hostsim::Session& session, const Layout& layout) {
    Hostsim::Model& root = session.addAssembly(L"PLANT").setUnit(L"mm");
    for (int p = 0; p < layout.parts; ++p) {
        Hostsim::Model& part = session.addPart(partName(p)).setUnit(L"mm");
        part.addBody().addBox({0, 0, 0}, {4, 4, 12}, part.addFeature(917).id);
    }
    for (int i = 0; i < layout.placements; ++i) {
        Hostsim::Feature& f = root.addComponent(partName(i % layout.parts), placement(i));
        f.flexible = layout.flexibleEvery > 0 && i % layout.flexibleEvery == 0;
    }
    session.setCurrent(&root);
}

// Registers the layouts (parts, placements, flexible_every) with a benchmark, in milliseconds.
void layouts(benchmark::internal::Benchmark* b,
             std::initializer_list<std::vector<std::int64_t>> list) {
    b->ArgNames({"parts", "placements", "flexible_every"})->Unit(benchmark::kMillisecond);
    for (const std::vector<std::int64_t>& args : list) {
        b->Args(args);
    }
}

Layout layoutOf(const benchmark::State& state) {
    return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
            static_cast<int>(state.range(2))};
}

void perPlacement(benchmark::State& state, int placements) {
    state.counters["placements"] = placements;
    state.counters["time_per_placement"] = benchmark::Counter(
        placements, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The whole extraction: walk, part, components and flexible names.
void BM_ExtractPlacements(benchmark::State& state) {
    const Layout layout = layoutOf(state);
    Hostsim::Session session;
    buildScene(session, layout);
    std::size_t components = 0;
    BenchSupport::extractRepeatedly(state, session,
                                    [&](const KorvaneGeometry::CAD_Assembly& model) {
                                        components = model.components.size();
                                        benchmark::DoNotOptimize(model.components.data());
                                    });
    if (components != static_cast<std::size_t>(layout.placements)) {
        state.SkipWithError("not every placement became a component");
    }
    perPlacement(state, layout.placements);
}
BENCHMARK(BM_ExtractPlacements)
    ->Apply([](benchmark::internal::Benchmark* b) {
        layouts(b,
                {{1, 10000, 0}, {1, 100000, 0}, {100, 100000, 0}, {1, 10000, 10}, {1, 100000, 10}});
    })
    ->MinTime(2.0);

// The duplicate search alone: addComponent for the placements the extraction makes.
void BM_DuplicateSearch(benchmark::State& state) {
    const Layout layout = layoutOf(state);
    std::vector<std::string> names;
    for (int p = 0; p < layout.parts; ++p) {
        names.push_back("BOLT_" + std::to_string(p));
    }
    std::vector<KorvaneGeometry::Matrix4> matrices;
    for (int i = 0; i < layout.placements; ++i) {
        // Column vectors, row by row: the host's row-vector matrix transposed.
        const Hostsim::Matrix m = placement(i);
        KorvaneGeometry::Matrix4& flat = matrices.emplace_back();
        for (std::size_t r = 0; r < 4; ++r) {
            for (std::size_t c = 0; c < 4; ++c) {
                flat[4 * r + c] = m[c][r];
            }
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        {
            KorvaneGeometry::CAD_Assembly model;
            for (const std::string& name : names) {
                KorvaneGeometry::SinglePart part;
                part.name = name;
                model.appendPart(part);
            }
            state.ResumeTiming();
            for (int i = 0; i < layout.placements; ++i) {
                const auto k = static_cast<std::size_t>(i);
                if (model.addComponent(names[k % names.size()], matrices[k],
                                       KorvaneGeometry::kNoColour) != 0) {
                    state.SkipWithError("a placement was refused");
                }
            }
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    perPlacement(state, layout.placements);
}
BENCHMARK(BM_DuplicateSearch)
    ->Apply([](benchmark::internal::Benchmark* b) {
        layouts(b, {{1, 10000, 0}, {1, 100000, 0}, {100, 100000, 0}});
    })
    ->MinTime(1.0);

// The writer on the model the extraction made from 100,000 placements.
void BM_WritePlacements(benchmark::State& state) {
    const Layout layout = layoutOf(state);
    Hostsim::Session session;
    buildScene(session, layout);
    KorvaneGeometry::CAD_Assembly model;
    Velmora::OptionsPersistency options;
    ProErrors status = ProToolkitRuntime::attach(session.startup());
    if (status == PRO_TK_NO_ERROR) {
        status = Velmora::CreoImport::computeAssembly(model, options);
        ProToolkitRuntime::detach();
    }
    if (status != PRO_TK_NO_ERROR) {
        state.SkipWithError("the extraction failed");
        return;
    }
    namespace fs = std::filesystem;
    // A folder of this run's own: only what the writer made in it is removed again.
    fs::path folder;
    std::random_device random;
    do {
        folder =
            fs::temp_directory_path() / ("tarvelo_placement_bench_" + std::to_string(random()));
    } while (!fs::create_directory(folder));
    const fs::path file = folder / "PLANT.tvl";
    for (auto _ : state) {
        KorvaneGeometry::ExportTVL(model, file);
        state.PauseTiming();
        fs::remove(file);
        state.ResumeTiming();
    }
    fs::remove(folder);
    perPlacement(state, layout.placements);
}
BENCHMARK(BM_WritePlacements)
    ->Apply([](benchmark::internal::Benchmark* b) {
        layouts(b, {{1, 10000, 0}, {1, 100000, 0}, {1, 100000, 10}});
    })
    ->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
