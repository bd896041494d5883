// The two stages a conversion takes each line through, in lines per second; whole runs are
// bench/whole_runs.sh's.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/sample_catalogue.h"
#include "catalog/line_parser.h"
#include "catalog/record_writer.h"

namespace tessaril::bench {
namespace {

std::vector<std::string> SampleLines(std::size_t count) {
  std::vector<std::string> lines;
  lines.reserve(count);
  for (std::size_t i = 0; i < count; ++i) lines.push_back(SampleLine(i));
  return lines;
}

void BM_TakeLines(benchmark::State& state) {
  const auto lines = SampleLines(static_cast<std::size_t>(state.range(0)));
  std::vector<CatalogEntry> entries(lines.size());
  for (auto _ : state) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!TakeLine(lines[i], static_cast<std::int64_t>(i + 1), entries[i]).ok()) {
        state.SkipWithError("sample line refused");
      }
    }
    benchmark::DoNotOptimize(entries.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_EncodeRecords(benchmark::State& state) {
  const auto lines = SampleLines(static_cast<std::size_t>(state.range(0)));
  std::vector<CatalogEntry> entries(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!TakeLine(lines[i], 1, entries[i]).ok()) {
      state.SkipWithError("sample line refused");
      return;
    }
  }
  std::vector<char> records(entries.size() * kRecordSize);
  for (auto _ : state) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EncodeRecord(entries[i],
                   std::span<char, kRecordSize>(records.data() + i * kRecordSize, kRecordSize));
    }
    benchmark::DoNotOptimize(records.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_TakeLines)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
BENCHMARK(BM_EncodeRecords)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);

}  // namespace
}  // namespace tessaril::bench

BENCHMARK_MAIN();
