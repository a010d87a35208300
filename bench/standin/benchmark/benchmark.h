// A stand-in for the few parts of Google Benchmark that the channel's benchmark uses, for a
// cross-build whose target system has no Google Benchmark library (Windows through mingw-w64).
// Each benchmark runs its fixed number of iterations once per argument and prints the wall
// time per iteration, the throughput and its counters, in the library's console layout.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond, kSecond };

struct Counter {
  Counter(double V = 0) : Value(V) {}
  double Value;
};

class State {
 public:
  State(std::int64_t Iterations, std::vector<std::int64_t> Args) : FIterations(Iterations), FArgs(std::move(Args)) {}

  // What the loop variable holds; a destructor of its own keeps "unused" warnings away.
  struct Value {
    ~Value() {}
  };
  struct Iterator {
    State* S;
    std::int64_t Left;
    bool operator!=(const Iterator& O) const { return Left != O.Left; }
    void operator++() { --Left; }
    Value operator*() const { return {}; }
  };
  Iterator begin() {
    FStart = std::chrono::steady_clock::now();
    return {this, FIterations};
  }
  Iterator end() { return {this, 0}; }
  std::int64_t range(int I = 0) const { return FArgs.at(static_cast<std::size_t>(I)); }
  std::int64_t iterations() const { return FIterations; }
  void SetBytesProcessed(std::int64_t Bytes) { FBytes = Bytes; }
  void SkipWithError(const char* Message) { FError = Message; }

  std::map<std::string, Counter> counters;
  std::chrono::steady_clock::time_point FStart;
  std::int64_t FIterations;
  std::vector<std::int64_t> FArgs;
  std::int64_t FBytes = 0;
  std::string FError;
};

namespace internal {

struct Benchmark {
  std::string Name;
  void (*Function)(State&);
  std::vector<std::int64_t> Args;
  std::int64_t Iters = 1;
  TimeUnit FUnit = kNanosecond;

  Benchmark* Arg(std::int64_t A) {
    Args.push_back(A);
    return this;
  }
  Benchmark* Iterations(std::int64_t N) {
    Iters = N;
    return this;
  }
  Benchmark* UseRealTime() { return this; }
  Benchmark* Unit(TimeUnit U) {
    FUnit = U;
    return this;
  }
};

inline std::vector<Benchmark*>& Registry() {
  static std::vector<Benchmark*> R;
  return R;
}

inline Benchmark* Register(const char* Name, void (*Function)(State&)) {
  auto* B = new Benchmark{Name, Function, {}, 1, kNanosecond};  // lives as long as the program
  Registry().push_back(B);
  return B;
}

inline void RunOne(const Benchmark& B, const std::vector<std::int64_t>& Args) {
  State S(B.Iters, Args);
  B.Function(S);
  double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - S.FStart).count();
  static const double Scale[] = {1e9, 1e6, 1e3, 1};
  static const char* const Units[] = {"ns", "us", "ms", "s"};
  std::string Name = B.Name;
  for (std::int64_t A : Args) {
    Name += '/';
    Name += std::to_string(A);
  }
  Name += "/iterations:";
  Name += std::to_string(B.Iters);
  Name += "/real_time";
  if (!S.FError.empty()) {
    std::printf("%-50s ERROR OCCURRED: '%s'\n", Name.c_str(), S.FError.c_str());
    return;
  }
  std::printf("%-50s %10.1f %s", Name.c_str(), Seconds * Scale[B.FUnit] / static_cast<double>(B.Iters), Units[B.FUnit]);
  if (S.FBytes > 0) std::printf(" bytes_per_second=%.3fMi/s", S.FBytes / Seconds / 1048576.0);
  for (const auto& [Key, C] : S.counters) std::printf(" %s=%g", Key.c_str(), C.Value);
  std::printf("\n");
  std::fflush(stdout);
}

inline int RunAll() {
  for (const Benchmark* B : Registry()) {
    if (B->Args.empty())
      RunOne(*B, {});
    else
      for (std::int64_t A : B->Args) RunOne(*B, {A});
  }
  return 0;
}

}  // namespace internal
}  // namespace benchmark

#define PELMO_BENCH_CONCAT2(A, B) A##B
#define PELMO_BENCH_CONCAT(A, B) PELMO_BENCH_CONCAT2(A, B)
#define BENCHMARK(Function)                                                                                 \
  [[maybe_unused]] static ::benchmark::internal::Benchmark* PELMO_BENCH_CONCAT(BenchRegistered, __LINE__) = \
      ::benchmark::internal::Register(#Function, Function)
#define BENCHMARK_MAIN() \
  int main() { return ::benchmark::internal::RunAll(); }
