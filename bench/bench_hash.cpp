// TDynamicHash (Put, Find of present and absent IDs) and TStringListWithHash::IndexOf against
// std::unordered_map<std::string, int> with the same keys, at 1,000, 100,000 and 1,000,000
// distinct IDs. After the usual table it prints, per operation and size, the time per key of
// both and their ratio, and the heap bytes per stored key.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "iddb/DynamicHash.h"
#include "tree/StringListWithHash.h"

namespace {

using Map = std::unordered_map<std::string, int>;
const std::vector<int64_t> kSizes{1000, 100000, 1000000};

struct KeySet {
  std::vector<std::string> keys;    // in the order they are put
  std::vector<std::string> probes;  // the same keys, shuffled
  std::vector<std::string> misses;  // well-formed IDs that are not among the keys
};

// Random distinct IDs (three capital letters, five digits), as found in capture logs.
const KeySet& Keys(size_t n) {
  static std::map<size_t, KeySet> sets;
  auto [it, fresh] = sets.try_emplace(n);
  if (!fresh) return it->second;
  std::mt19937_64 rng(12345 + n);
  std::unordered_set<std::string> seen;
  std::vector<std::string> all;
  while (all.size() < 2 * n) {
    char id[9];
    for (int i = 0; i < 3; ++i) id[i] = static_cast<char>('A' + rng() % 26);
    for (int i = 3; i < 8; ++i) id[i] = static_cast<char>('0' + rng() % 10);
    id[8] = 0;
    if (seen.insert(id).second) all.emplace_back(id);
  }
  KeySet& set = it->second;
  set.keys.assign(all.begin(), all.begin() + n);
  set.misses.assign(all.begin() + n, all.end());
  set.probes = set.keys;
  std::shuffle(set.probes.begin(), set.probes.end(), rng);
  return set;
}

size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// Built once per size and kept, with the heap bytes their contents took.
template <typename T>
struct Built {
  std::unique_ptr<T> table;
  double bytesPerKey = 0;
};

template <typename T, typename Fill>
Built<T>& Table(size_t n, Fill fill) {
  static std::map<size_t, Built<T>> tables;
  Built<T>& b = tables[n];
  if (!b.table) {
    Keys(n);  // made before counting, so that only the table's own bytes count
    const size_t before = HeapInUse();
    b.table = std::make_unique<T>();
    fill(*b.table, Keys(n).keys);
    b.bytesPerKey = static_cast<double>(HeapInUse() - before) / static_cast<double>(n);
  }
  return b;
}

void FillHash(TDynamicHash& h, const std::vector<std::string>& keys) {
  for (size_t i = 0; i < keys.size(); ++i) h.Put(keys[i], static_cast<int32_t>(i));
}
void FillMap(Map& m, const std::vector<std::string>& keys) {
  for (size_t i = 0; i < keys.size(); ++i) m.insert_or_assign(keys[i], static_cast<int>(i));
}
void FillList(TStringListWithHash& l, const std::vector<std::string>& keys) {
  for (const auto& k : keys) l.Add(k);
}

Built<TDynamicHash>& HashTable(size_t n) { return Table<TDynamicHash>(n, FillHash); }
Built<Map>& MapTable(size_t n) { return Table<Map>(n, FillMap); }
Built<TStringListWithHash>& ListTable(size_t n) { return Table<TStringListWithHash>(n, FillList); }

void Items(benchmark::State& state, size_t n, double bytesPerKey = -1) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
  if (bytesPerKey >= 0) state.counters["bytes/key"] = bytesPerKey;
}

template <typename T, typename Fill>
void PutAll(benchmark::State& state, Fill fill) {
  const size_t n = static_cast<size_t>(state.range(0));
  const KeySet& set = Keys(n);
  for (auto _ : state) {
    auto table = std::make_unique<T>();
    fill(*table, set.keys);
    benchmark::DoNotOptimize(table.get());
    state.PauseTiming();  // freeing is not part of putting
    table.reset();
    state.ResumeTiming();
  }
  Items(state, n);
}

void BM_DynamicHash_Put(benchmark::State& state) { PutAll<TDynamicHash>(state, FillHash); }
void BM_UnorderedMap_Put(benchmark::State& state) { PutAll<Map>(state, FillMap); }

template <typename Lookup>
void Lookups(benchmark::State& state, const std::vector<std::string>& probes, Lookup lookup, double bytesPerKey) {
  for (auto _ : state) {
    int64_t sum = 0;
    for (const auto& k : probes) sum += lookup(k);
    benchmark::DoNotOptimize(sum);
  }
  Items(state, probes.size(), bytesPerKey);
}

void BM_DynamicHash_FindHit(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto& b = HashTable(n);
  Lookups(state, Keys(n).probes, [&](const std::string& k) { return b.table->Find(k); }, b.bytesPerKey);
}
void BM_DynamicHash_FindMiss(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto& b = HashTable(n);
  Lookups(state, Keys(n).misses, [&](const std::string& k) { return b.table->Find(k); }, b.bytesPerKey);
}
int MapFind(const Map& m, const std::string& k) {
  const auto it = m.find(k);
  return it == m.end() ? -1 : it->second;
}
void BM_UnorderedMap_FindHit(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto& b = MapTable(n);
  Lookups(state, Keys(n).probes, [&](const std::string& k) { return MapFind(*b.table, k); }, b.bytesPerKey);
}
void BM_UnorderedMap_FindMiss(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto& b = MapTable(n);
  Lookups(state, Keys(n).misses, [&](const std::string& k) { return MapFind(*b.table, k); }, b.bytesPerKey);
}
void BM_StringListWithHash_IndexOfHit(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto& b = ListTable(n);
  Lookups(state, Keys(n).probes, [&](const std::string& k) { return b.table->IndexOf(k); }, b.bytesPerKey);
}
void BM_StringListWithHash_IndexOfMiss(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  auto& b = ListTable(n);
  Lookups(state, Keys(n).misses, [&](const std::string& k) { return b.table->IndexOf(k); }, b.bytesPerKey);
}

double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
#define SIZES ->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest)
BENCHMARK(BM_DynamicHash_Put) SIZES;
BENCHMARK(BM_UnorderedMap_Put) SIZES;
BENCHMARK(BM_DynamicHash_FindHit) SIZES;
BENCHMARK(BM_UnorderedMap_FindHit) SIZES;
BENCHMARK(BM_DynamicHash_FindMiss) SIZES;
BENCHMARK(BM_UnorderedMap_FindMiss) SIZES;
BENCHMARK(BM_StringListWithHash_IndexOfHit) SIZES;
BENCHMARK(BM_StringListWithHash_IndexOfMiss) SIZES;

// Keeps every result so the ratios can be printed after the table. With repetitions the
// fastest repetition stands for a benchmark (the least disturbed by other work on the
// machine), else the single run does.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const bool fastest = r.run_type == Run::RT_Aggregate && r.aggregate_name == "min";
      if (r.run_type == Run::RT_Aggregate && !fastest) continue;
      const std::string name = r.run_name.function_name + "/" + r.run_name.args;
      if (!fastest && results.count(name)) continue;  // a min already came, or comes later
      const double keys = std::stod(r.run_name.args);
      const double seconds = r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
      const auto bytes = r.counters.find("bytes/key");
      Result& result = results[name];
      result = {seconds * 1e9 / keys, bytes == r.counters.end() ? -1 : bytes->second.value};
    }
  }
  struct Result {
    double nsPerKey;
    double bytesPerKey;
  };
  std::map<std::string, Result> results;
};

void PrintRatios(const RatioReporter& reporter) {
  struct Pair {
    const char* label;
    const char* ours;
    const char* base;
  };
  const Pair pairs[] = {
      {"Put", "BM_DynamicHash_Put", "BM_UnorderedMap_Put"},
      {"Find, present", "BM_DynamicHash_FindHit", "BM_UnorderedMap_FindHit"},
      {"Find, absent", "BM_DynamicHash_FindMiss", "BM_UnorderedMap_FindMiss"},
      {"IndexOf, present", "BM_StringListWithHash_IndexOfHit", "BM_UnorderedMap_FindHit"},
      {"IndexOf, absent", "BM_StringListWithHash_IndexOfMiss", "BM_UnorderedMap_FindMiss"},
  };
  std::printf("\n%-18s %9s %12s %12s %8s %12s %12s\n", "operation", "keys", "ours ns/key", "map ns/key", "ratio",
              "ours B/key", "map B/key");
  for (const Pair& p : pairs) {
    for (int64_t n : kSizes) {
      const std::string suffix = "/" + std::to_string(n);
      const auto ours = reporter.results.find(std::string(p.ours) + suffix);
      const auto base = reporter.results.find(std::string(p.base) + suffix);
      if (ours == reporter.results.end() || base == reporter.results.end()) continue;
      std::printf("%-18s %9lld %12.1f %12.1f %8.2f", p.label, static_cast<long long>(n), ours->second.nsPerKey,
                  base->second.nsPerKey, ours->second.nsPerKey / base->second.nsPerKey);
      if (ours->second.bytesPerKey >= 0)
        std::printf(" %12.1f %12.1f", ours->second.bytesPerKey, base->second.bytesPerKey);
      std::printf("\n");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintRatios(reporter);
  benchmark::Shutdown();
  return 0;
}
