// Loading a key of 100,000 values from the registry's file store off Windows: what every query
// on the key costs, on the host's user-interface thread. The duplicate-name check must keep it
// linear in the number of values.
#include "RegistryStore.h"
#include "Win32Api.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kValues = 100000;

// A store of its own holding the key HKEY_CURRENT_USER "Bench" with kValues DWORD values,
// named in mixed case so that every name is folded.
class BenchStore {
public:
    BenchStore() {
        std::string pattern = (fs::temp_directory_path() / "tarvelo-registry-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            return;
        }
        dir_ = pattern;
        ::setenv("TARVELO_REGISTRY_DIR", dir_.c_str(), 1);
        bool created = false;
        ok_ =
            Platform::createKey(key_, created) == Platform::StoreStatus::Ok &&
            Platform::updateValues(key_, [](std::vector<Platform::RegistryValue>& values) {
                for (int i = 0; i < kValues; ++i) {
                    std::string name = "Value_" + std::to_string(i);
                    std::u16string units(name.begin(), name.end());
                    values.push_back({units, REG_DWORD, {static_cast<unsigned char>(i), 0, 0, 0}});
                }
            }) == Platform::StoreStatus::Ok;
    }
    ~BenchStore() {
        ::unsetenv("TARVELO_REGISTRY_DIR");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    BenchStore(const BenchStore&) = delete;
    BenchStore& operator=(const BenchStore&) = delete;

    bool ok() const { return ok_; }
    const Platform::StoreKey& key() const { return key_; }
    std::uintmax_t fileSize() const {
        return fs::file_size(dir_ / "HKEY_CURRENT_USER" / "bench" / ".values");
    }

private:
    fs::path dir_;
    Platform::StoreKey key_{"HKEY_CURRENT_USER", {u"bench"}};
    bool ok_ = false;
};

// Reading and checking the key's file into its values.
void BM_LoadKeyOf100000Values(benchmark::State& state) {
    BenchStore store;
    if (!store.ok()) {
        state.SkipWithError("cannot set up the key");
        return;
    }
    for (auto _ : state) {
        std::vector<Platform::RegistryValue> values;
        if (Platform::readValues(store.key(), values) != Platform::StoreStatus::Ok ||
            values.size() != kValues) {
            state.SkipWithError("the key did not load whole");
            break;
        }
        benchmark::DoNotOptimize(values.data());
    }
    state.counters["values"] = kValues;
    state.counters["file_bytes"] = double(store.fileSize());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * store.fileSize()));
}
BENCHMARK(BM_LoadKeyOf100000Values)->Unit(benchmark::kMillisecond);

// One query through the registry functions, which loads the key and looks the value up.
void BM_QueryValueInKeyOf100000Values(benchmark::State& state) {
    BenchStore store;
    HKEY key = nullptr;
    if (!store.ok() || RegOpenKeyExW(HKEY_CURRENT_USER, L"Bench", 0, KEY_READ, &key) != 0) {
        state.SkipWithError("cannot set up the key");
        return;
    }
    for (auto _ : state) {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (RegQueryValueExW(key, L"VALUE_99999", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                             &size) != ERROR_SUCCESS) {
            state.SkipWithError("query failed");
            break;
        }
        benchmark::DoNotOptimize(value);
    }
    RegCloseKey(key);
}
BENCHMARK(BM_QueryValueInKeyOf100000Values)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
