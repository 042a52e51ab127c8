// libls costs that grow with the input: reading a registry of n servers
// and browsing a node holding n objects.  Each should cost about ten times
// as much for ten times the input; the fitted complexity is printed, and
// the run fails when the 10x ratio of either exceeds 15.

#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <map>
#include <string>

#include "ls.h"
#include "ls/ls_internal.h"
#include "platform/ot/ot.h"

namespace {

std::string g_root;
std::map<std::string, double> g_seconds;  // per benchmark and size

void MakeRoot() {
  std::string dir = std::filesystem::temp_directory_path() / "ls_bench.XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) abort();
  g_root = dir;
  std::filesystem::create_directories(g_root + "/etc");
  std::filesystem::create_directories(g_root + "/var/adm");
  std::filesystem::create_directories(g_root + "/tmp");
  std::ofstream(g_root + "/etc/nodename") << "alpha\n";
  setenv("RUDED_ROOT", g_root.c_str(), 1);
  unsetenv("OAM_TRACE");
}

void WriteRegistry(int64_t n) {
  std::ofstream out(g_root + "/etc/KELDA_servers");
  out << "MaXnAmEsErVrS=" << n << "\n";
  for (int64_t i = 0; i < n; i += 4)
    out << "name_servers=node" << i << ",node" << i + 1 << ",node" << i + 2
        << ",node" << i + 3 << "\n";
}

void Record(const benchmark::State& state, const char* name,
            std::chrono::steady_clock::duration total) {
  g_seconds[std::string(name) + "/" + std::to_string(state.range(0))] =
      std::chrono::duration<double>(total).count() / state.iterations();
}

void BM_Registry(benchmark::State& state) {
  WriteRegistry(state.range(0));
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    char* servers = LSGetservers();
    if (servers == nullptr) state.SkipWithError("no servers");
    benchmark::DoNotOptimize(servers);
    free(servers);
  }
  Record(state, "registry", std::chrono::steady_clock::now() - start);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Registry)->Arg(1000)->Arg(10000)->Arg(100000)->Complexity();

void FillStore(int64_t n) {
  std::filesystem::remove_all(g_root + "/var/sadm");
  KeywordList* pairs = CreateKeywordList();
  AddKeywordToList(pairs, "type", "disk");
  for (int64_t i = 0; i < n; ++i)
    if (OTLput(("disk" + std::to_string(i)).c_str(), pairs) != 0) abort();
  DestroyKeywordList(pairs);
}

void BM_BrowseHere(benchmark::State& state) {
  FillStore(state.range(0));
  KeywordList* search = CreateKeywordList();
  AddKeywordToList(search, "Containment", "alpha");
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    AliasList* found = LSgetaliases(search);
    if (found == nullptr) state.SkipWithError("nothing found");
    OTFreeAliasList(found);
  }
  Record(state, "browse", std::chrono::steady_clock::now() - start);
  DestroyKeywordList(search);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BrowseHere)->Arg(500)->Arg(5000)->Complexity();

// Prints the 10x ratios; false when one is above 15.
bool ReportRatios() {
  bool ok = true;
  for (const auto& [name, small, large] :
       {std::tuple{"registry", 10000, 100000}, {"browse", 500, 5000}}) {
    auto a = g_seconds.find(std::string(name) + "/" + std::to_string(large));
    auto b = g_seconds.find(std::string(name) + "/" + std::to_string(small));
    if (a == g_seconds.end() || b == g_seconds.end()) continue;  // filtered out
    double ratio = a->second / b->second;
    printf("%s %d/%d time ratio: %.1f\n", name, large, small, ratio);
    ok = ok && ratio <= 15;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  MakeRoot();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  bool ok = ReportRatios();
  std::filesystem::remove_all(g_root);
  return ok ? 0 : 1;
}
