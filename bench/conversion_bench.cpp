#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "bench/sample_catalogue.h"
#include "catalog/convert_catalog.h"
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

// As a conversion does it: each line into one entry, encoded at once into a chunk of records.
void BM_TakeAndEncodeLines(benchmark::State& state) {
  const auto lines = SampleLines(static_cast<std::size_t>(state.range(0)));
  std::vector<char> chunk(kChunkBytes);
  CatalogEntry entry{};
  for (auto _ : state) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!TakeLine(lines[i], static_cast<std::int64_t>(i + 1), entry).ok()) {
        state.SkipWithError("sample line refused");
      }
      const std::size_t at = i % kRecordsPerChunk * kRecordSize;
      EncodeRecord(entry, std::span<char, kRecordSize>(chunk.data() + at, kRecordSize));
    }
    benchmark::DoNotOptimize(chunk.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

class SilentNotices : public NoticeService {
 public:
  void ShowNotice(std::string_view text, NoticeIcon icon) override {
    last_text = text;
    last_icon = icon;
  }
  std::string last_text;
  NoticeIcon last_icon = NoticeIcon::kCritical;
};

// A folder of its own per benchmark, with the sample catalogue of the benchmark's size.
class CatalogueFolder {
 public:
  explicit CatalogueFolder(std::size_t lines) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessaril-bench-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    WriteSampleCatalogue(Source(), lines);
  }
  ~CatalogueFolder() { std::filesystem::remove_all(path_); }
  std::string Source() const { return (path_ / "velmora.kat").string(); }
  std::string Dest() const { return (path_ / "velmora-neu.kat").string(); }

 private:
  std::filesystem::path path_;
};

void BM_ConvertCatalog(benchmark::State& state) {
  const CatalogueFolder folder(static_cast<std::size_t>(state.range(0)));
  SilentNotices notices;
  for (auto _ : state) {
    ConvertCatalog(folder.Source(), folder.Dest(), notices);
    if (notices.last_icon != NoticeIcon::kInformation)
      state.SkipWithError(notices.last_text.c_str());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(folder.Source())));
}

// The yardstick for a whole run: copying the same catalogue with dd, flushed to disk.
void BM_CopyWithDdFsync(benchmark::State& state) {
  const CatalogueFolder folder(static_cast<std::size_t>(state.range(0)));
  const std::string command =
      "dd status=none bs=1M conv=fsync if='" + folder.Source() + "' of='" + folder.Dest() + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("dd failed");
  }
  state.SetBytesProcessed(state.iterations() *
                          static_cast<std::int64_t>(std::filesystem::file_size(folder.Source())));
}

BENCHMARK(BM_TakeLines)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
BENCHMARK(BM_EncodeRecords)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
BENCHMARK(BM_TakeAndEncodeLines)->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
BENCHMARK(BM_ConvertCatalog)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_CopyWithDdFsync)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessaril::bench

BENCHMARK_MAIN();
