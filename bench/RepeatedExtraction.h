// The extraction of a stand-in session's current model, once per benchmark iteration, for the
// benchmarks that time whole extractions.
#pragma once

#include "CAD_Assembly.h"
#include "CreoImport.h"
#include "HostSession.h"
#include "OptionsPersistency.h"
#include "ProToolkitRuntime.h"

#include <benchmark/benchmark.h>

namespace BenchSupport {

// Extracts the current model in every iteration and hands each finished model to `inspect`
// (timed). A failed extraction or a host allocation left behind marks the benchmark as failed.
template <class Inspect>
void extractRepeatedly(benchmark::State& state, Hostsim::Session& session, Inspect inspect) {
    if (ProToolkitRuntime::attach(session.startup()) != PRO_TK_NO_ERROR) {
        state.SkipWithError("the runtime did not attach");
        return;
    }
    Velmora::OptionsPersistency options;
    for (auto _ : state) {
        KorvaneGeometry::CAD_Assembly model;
        if (Velmora::CreoImport::computeAssembly(model, options) != PRO_TK_NO_ERROR) {
            state.SkipWithError("the extraction failed");
            break;
        }
        inspect(model);
    }
    ProToolkitRuntime::detach();
    if (!session.ledger().empty()) {
        state.SkipWithError("host allocations left behind");
    }
}

} // namespace BenchSupport
