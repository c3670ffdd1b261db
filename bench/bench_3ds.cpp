// bench_3ds.cpp: 3DS import and double-siding on the largest real meshes at hand (exported to
// 3DS by the assimp tool from Debian's assimp-testmodels when the benchmark starts), and
// double-siding of a synthetic million-facet grid.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app.h"
#include "appHost.h"
#include "vxm3ds.h"
#include "vxmMem.h"
#include "vxmModel.h"

namespace fs = std::filesystem;

namespace {

struct Source {
  const char* name;
  const char* path;  // below /usr/share/assimp/models
};

const Source kSources[] = {
    {"engine", "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb"},
    {"house", "IFC/AC14-FZK-Haus.ifc"},
    {"human", "Collada/human.zae"},
    {"wuson", "PLY/Wuson.ply"},
};

std::string exportSource(const fs::path& folder, const Source& source) {
  fs::path in = fs::path("/usr/share/assimp/models") / source.path;
  fs::path out = folder / (std::string(source.name) + ".3ds");
  if (!fs::exists(in)) return "";
  std::string command = "assimp export '" + in.string() + "' '" + out.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 || !fs::exists(out) || fs::file_size(out) == 0) return "";
  return out.string();
}

void importFile(benchmark::State& state, const std::string& path) {
  int32_t vertices = 0, faces = 0;
  vxm3dsCount(path.c_str(), &vertices, &faces);
  int32_t facets = 0;
  for (auto _ : state) {
    VxmModel* model = vxmModelLoad3DS(path.c_str());
    if (!model) {
      state.SkipWithError("the import failed");
      break;
    }
    facets = model->triCount;
    vxmModelFree(model);
  }
  state.counters["vertices"] = vertices;
  state.counters["faces"] = faces;
  state.counters["facets"] = facets;
  state.counters["faces/s"] = benchmark::Counter(double(faces), benchmark::Counter::kIsIterationInvariantRate);
}

// Doubles `single` (a facet table without twins) again on every iteration; the model's table
// is put back to `single` outside the timing.
void doubleFacets(benchmark::State& state, VxmModel* model, const std::vector<VxmTri>& single) {
  const size_t bytes = single.size() * sizeof(VxmTri);
  for (auto _ : state) {
    state.PauseTiming();
    VxmTri* tris = static_cast<VxmTri*>(vxmMemAlloc(bytes));
    if (!tris) {
      state.SkipWithError("out of memory");
      break;
    }
    std::memcpy(tris, single.data(), bytes);
    vxmMemFree(model->tris);
    model->tris = tris;
    model->triCount = (int32_t)single.size();
    state.ResumeTiming();
    vxmModelMakeDoubleSided(model);
  }
  state.counters["input facets"] = double(single.size());
  state.counters["facets"] = model->triCount;
  state.counters["facets/s"] =
      benchmark::Counter(double(single.size()), benchmark::Counter::kIsIterationInvariantRate);
  vxmModelFree(model);
}

// The facets of an imported model without the twins the import added: a facet directly after
// its reversed twin is dropped.
std::vector<VxmTri> singleSided(const VxmModel* model) {
  std::vector<VxmTri> out;
  for (int32_t i = 0; i < model->triCount; ++i) {
    const VxmTri& f = model->tris[i];
    out.push_back(f);
    if (i + 1 < model->triCount) {
      const VxmTri& g = model->tris[i + 1];
      if (g.v[0] == f.v[1] && g.v[1] == f.v[0] && g.v[2] == f.v[2]) ++i;
    }
  }
  return out;
}

void doubleImported(benchmark::State& state, const std::string& path) {
  VxmModel* imported = vxmModelLoad3DS(path.c_str());
  if (!imported) {
    state.SkipWithError("the import failed");
    return;
  }
  std::vector<VxmTri> single = singleSided(imported);
  VxmModel* model = vxmModelCreate(imported->vertexCount, 0, (int32_t)single.size());
  std::memcpy(model->vertices, imported->vertices, sizeof(VxmVector) * (size_t)imported->vertexCount);
  vxmModelFree(imported);
  doubleFacets(state, model, single);
}

// A grid of 501 x 1001 vertices: 500 x 1000 squares, two facets each, one million facets.
void doubleSynthetic(benchmark::State& state) {
  const int32_t columns = 501, rows = 1001;
  VxmModel* model = vxmModelCreate(columns * rows, 0, 2 * (columns - 1) * (rows - 1));
  std::vector<VxmTri> single;
  single.reserve((size_t)model->triCount);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < columns; ++c) model->vertices[r * columns + c] = {float(c), 0.0f, float(r)};
  for (int32_t r = 0; r + 1 < rows; ++r)
    for (int32_t c = 0; c + 1 < columns; ++c) {
      int32_t i = r * columns + c;
      VxmTri t = model->tris[0];
      t.v[0] = i, t.v[1] = i + columns, t.v[2] = i + 1;
      single.push_back(t);
      t.v[0] = i + 1, t.v[1] = i + columns, t.v[2] = i + columns + 1;
      single.push_back(t);
    }
  doubleFacets(state, model, single);
}

}  // namespace

int main(int argc, char** argv) {
  appHostSetInstallPath("");
  appEnableMessages(false);
  fs::path folder = fs::temp_directory_path() / "quirla-bench-3ds";
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
  for (const Source& source : kSources) {
    std::string path = exportSource(folder, source);
    if (path.empty()) {
      std::fprintf(stderr, "bench_3ds: could not export %s (assimp and assimp-testmodels needed)\n", source.path);
      continue;
    }
    benchmark::RegisterBenchmark((std::string("Import3DS/") + source.name).c_str(),
                                 [path](benchmark::State& s) { importFile(s, path); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("DoubleSided/") + source.name).c_str(),
                                 [path](benchmark::State& s) { doubleImported(s, path); })
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("DoubleSided/synthetic_1M", doubleSynthetic)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(folder, ec);
  return 0;
}
