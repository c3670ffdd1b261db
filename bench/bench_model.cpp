// bench_model.cpp: the model side's costs: double-siding (linear in the facet count), averaged
// normals, VXM reading, and the elementary functions against the C library's.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "app.h"
#include "appHost.h"
#include "vxmMath.h"
#include "vxmModel.h"

// A grid of n x n quads: 2 n^2 facets, none of them with a twin.
static VxmModel* benchGrid(int n) {
  VxmModel* model = vxmModelCreate((n + 1) * (n + 1), 0, 2 * n * n);
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) model->vertices[y * (n + 1) + x] = {(float)x, (float)y, 0.0f};
  VxmTri* t = model->tris;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      int i = y * (n + 1) + x;
      t->v[0] = i, t->v[1] = i + 1, t->v[2] = i + n + 1, ++t;
      t->v[0] = i + 1, t->v[1] = i + n + 2, t->v[2] = i + n + 1, ++t;
    }
  vxmModelCalcSurfaceNormals(model);
  return model;
}

static void BM_MakeDoubleSided(benchmark::State& state) {
  const int n = (int)state.range(0);
  for (auto _ : state) {
    state.PauseTiming();
    VxmModel* model = benchGrid(n);
    state.ResumeTiming();
    vxmModelMakeDoubleSided(model);
    benchmark::DoNotOptimize(model->triCount);
    state.PauseTiming();
    vxmModelFree(model);
    state.ResumeTiming();
  }
  state.SetComplexityN(2 * n * n);
}
BENCHMARK(BM_MakeDoubleSided)->RangeMultiplier(2)->Range(16, 256)->Complexity(benchmark::oN);

static void BM_AverageNormals(benchmark::State& state) {
  VxmModel* model = benchGrid((int)state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(vxmModelCalcAverageNormals(model));
  vxmModelFree(model);
}
BENCHMARK(BM_AverageNormals)->Arg(128);

static void BM_LoadVXM(benchmark::State& state) {
  const std::string path = "/tmp/quirla-bench-model.vxm";
  VxmModel* model = benchGrid((int)state.range(0));
  vxmModelSaveVXM(model, path.c_str());
  vxmModelFree(model);
  appHostSetInstallPath("/tmp");
  for (auto _ : state) {
    VxmModel* loaded = vxmModelLoadVXM(path.c_str());
    benchmark::DoNotOptimize(loaded);
    vxmModelFree(loaded);
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_LoadVXM)->Arg(64);

// The highlight exponent is raised once per vertex normal and frame.
static void BM_Pow(benchmark::State& state) {
  double base = 0.3, sum = 0;
  for (auto _ : state) {
    sum += vxmMathPow(base, 54.598);
    base = base < 0.99 ? base + 0.001 : 0.3;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_Pow);

static void BM_PowLibrary(benchmark::State& state) {
  double base = 0.3, sum = 0;
  for (auto _ : state) {
    sum += std::pow(base, 54.598);
    base = base < 0.99 ? base + 0.001 : 0.3;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_PowLibrary);

static void BM_SinCos(benchmark::State& state) {
  double angle = 0, sum = 0;
  for (auto _ : state) {
    sum += vxmMathSin(angle) + vxmMathCos(angle);
    angle += 0.01;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_SinCos);

static void BM_Atan2(benchmark::State& state) {
  double y = -1, sum = 0;
  for (auto _ : state) {
    sum += vxmMathAtan2(y, 0.7);
    y = y < 1 ? y + 0.001 : -1;
  }
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_Atan2);

BENCHMARK_MAIN();
