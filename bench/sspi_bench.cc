// Costs of libsspi that grow with the number of pairs.  Building a list
// and reading a stream must stay linear: the run ends by printing the ratio
// of the times to build 100,000 and 10,000 pairs (about 10 when linear) and
// fails when it exceeds 15.

#include <benchmark/benchmark.h>
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "sspi.h"

namespace {

constexpr double kMaxBuildRatio = 15.0;

struct Texts {
  std::vector<std::string> keywords, values;
};

// Pairs like those of a managed object: short keywords, modest values.
const Texts& PairTexts(int n) {
  static std::map<int, Texts> cache;
  Texts& t = cache[n];
  for (int i = static_cast<int>(t.keywords.size()); i < n; ++i) {
    t.keywords.push_back("attribute_" + std::to_string(i));
    t.values.push_back("value of attribute " + std::to_string(i) + ", with text");
  }
  return t;
}

KeywordList* BuildList(int n) {
  const Texts& t = PairTexts(n);
  KeywordList* list = CreateKeywordList();
  for (int i = 0; i < n; ++i) {
    AddKeywordToList(list, t.keywords[i].c_str(), t.values[i].c_str());
  }
  return list;
}

void BM_BuildList(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  PairTexts(n);
  for (auto _ : state) {
    KeywordList* list = BuildList(n);
    benchmark::DoNotOptimize(list);
    state.PauseTiming();
    DestroyKeywordList(list);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BuildList)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_WriteStream(benchmark::State& state) {
  KeywordList* list = BuildList(static_cast<int>(state.range(0)));
  FILE* f = tmpfile();
  long bytes = 0;
  for (auto _ : state) {
    rewind(f);
    KeywordListToStream(f, list);
    fflush(f);
    bytes = ftell(f);
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  fclose(f);
  DestroyKeywordList(list);
}
BENCHMARK(BM_WriteStream)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadStream(benchmark::State& state) {
  KeywordList* list = BuildList(static_cast<int>(state.range(0)));
  FILE* f = tmpfile();
  KeywordListToStream(f, list);
  long bytes = ftell(f);
  DestroyKeywordList(list);
  for (auto _ : state) {
    rewind(f);
    KeywordList* back = KeywordStreamToList(f);
    if (back == nullptr || NumberOfKeywords(back) != state.range(0)) {
      state.SkipWithError("stream did not read back");
    }
    state.PauseTiming();
    DestroyKeywordList(back);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  fclose(f);
}
BENCHMARK(BM_ReadStream)->Arg(100000)->Unit(benchmark::kMillisecond);

// Every keyword twice, the duplicates in the second half.
void BM_RemoveDuplicates(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  const Texts& t = PairTexts(n / 2);
  for (auto _ : state) {
    state.PauseTiming();
    KeywordList* list = BuildList(n / 2);
    for (int i = 0; i < n / 2; ++i) {
      AddKeywordToList(list, t.keywords[i].c_str(), "later");
    }
    state.ResumeTiming();
    RemoveDuplicateKeywordFmList(list);
    state.PauseTiming();
    DestroyKeywordList(list);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RemoveDuplicates)->Arg(100000)->Unit(benchmark::kMillisecond);

// Remembers the real time per iteration of each run, to compare them.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration) {
        times_[run.benchmark_name()] = run.GetAdjustedRealTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double time(const std::string& name) const {
    auto it = times_.find(name);
    return it == times_.end() ? 0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double small = reporter.time("BM_BuildList/10000");
  double large = reporter.time("BM_BuildList/100000");
  if (small <= 0 || large <= 0) return 0;  // filtered out
  double ratio = large / small;
  printf("build time ratio 100000/10000 pairs: %.2f (linear: about 10, limit %.0f)\n",
         ratio, kMaxBuildRatio);
  return ratio <= kMaxBuildRatio ? 0 : 1;
}
