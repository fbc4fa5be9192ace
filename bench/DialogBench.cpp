// Time per press of "AttributeAdd" in the dialog "Tarvelo": a session script that invokes the
// command, presses "AttributeAdd" N times and then "Cancel", run in-process through the stand-in
// host and the plug-in as hostsim runs it. Each press rebuilds the whole attribute table (its
// cells deleted and copied again, every name checked), so a press makes O(rows) host calls: the
// time per press may grow with the rows, the time per row rebuilt may not.
#include "HostSession.h"
#include "OptionsPersistency.h"
#include "PrivateRegistryStore.h"
#include "ProToolkitRuntime.h"
#include "UserInterface.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::string pressesScript(int presses) {
    std::string script = "invoke Tarvelo Gateway\n";
    for (int i = 0; i < presses; ++i) {
        script += "press AttributeAdd\n";
    }
    return script + "press Cancel\n";
}

// Why a finished run is not what the script asks for; empty when it is.
std::string fault(Hostsim::Session& session, int presses) {
    if (!session.ui().problems().empty()) {
        return "the session did not run as written: " + session.ui().problems().front();
    }
    if (!session.ledger().empty() || !session.ledger().violations().empty()) {
        return "the plug-in left the host in a bad state: " + session.ledger().report();
    }
    if (!session.ui().dialogs().empty()) {
        return "the dialog outlived its command";
    }
    if (g_options.importAttributes.size() != static_cast<std::size_t>(presses)) {
        return "the options hold " + std::to_string(g_options.importAttributes.size()) +
               " attributes after " + std::to_string(presses) + " presses";
    }
    return {};
}

void BM_AttributeAddPresses(benchmark::State& state) {
    const int presses = static_cast<int>(state.range(0));
    const std::vector<Hostsim::UiEvent> events =
        Hostsim::parseSessionScript(pressesScript(presses), "presses.session");
    for (auto _ : state) {
        state.PauseTiming();
        // A store of its own: the options a run saves (its N attributes) must not be loaded by
        // the next one.
        TvlTest::PrivateRegistryStore registry;
        if (!registry.ready()) {
            state.SkipWithError("no registry store");
            break;
        }
        g_options = Velmora::OptionsPersistency{};
        auto session = std::make_unique<Hostsim::Session>();
        session->ui().addEvents(events);
        ProToolkitStartup startup = session->startup();
        if (user_initialize_plus(&startup) != 0) {
            state.SkipWithError("the plug-in did not start");
            break;
        }
        state.ResumeTiming();

        Hostsim::runSessionScript(*session);

        state.PauseTiming();
        user_terminate_plus();
        const std::string problem = fault(*session, presses);
        session.reset();
        g_options = Velmora::OptionsPersistency{};
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            break;
        }
        state.ResumeTiming();
    }
    // Press k rebuilds k rows: N (N + 1) / 2 in all, a cost that must stay the same per row.
    const double rows = 0.5 * presses * (presses + 1.0);
    state.counters["presses"] = presses;
    state.counters["time_per_press"] = benchmark::Counter(
        presses, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["time_per_row"] = benchmark::Counter(
        rows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AttributeAddPresses)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
