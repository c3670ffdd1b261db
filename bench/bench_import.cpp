// bench_import.cpp: importing today's model files (vxmModelLoad: reading, welding, merging,
// double-siding, normals) against assimp reading the same files in the same run: a generated
// grid of 1,000,000 triangles as binary STL and as .glb, and real files of Debian's
// assimp-testmodels. assimp reads with aiProcess_Triangulate only, the least that yields
// triangles; it neither welds STL corners nor makes twins, which our import does. A second
// assimp line adds aiProcess_JoinIdenticalVertices, its own welding of equal corners, for a
// measure of the work ours does beyond reading.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app.h"
#include "appHost.h"
#include "vxmImport.h"
#include "vxmModel.h"

#if defined(QUIRLA_HAVE_ASSIMP)
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif

namespace fs = std::filesystem;

namespace {

// The grid: 1000 x 500 quads of two triangles each over a gentle height field.
const int kColumns = 1000, kRows = 500;

float gridHeight(int i, int j) { return 0.25f * std::sin(i * 0.05f) * std::cos(j * 0.07f); }

void put32(std::string* s, uint32_t v) {
  for (int k = 0; k < 4; ++k) s->push_back((char)(v >> (8 * k)));
}
void putFloat(std::string* s, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  put32(s, bits);
}

bool writeBytes(const fs::path& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Binary STL, Z-up: each triangle's three corners written out in full.
std::string gridStl() {
  std::string s(80, '\0');
  put32(&s, 2u * kColumns * kRows);
  auto corner = [&](int i, int j) {
    putFloat(&s, (float)i);
    putFloat(&s, (float)j);
    putFloat(&s, gridHeight(i, j));
  };
  for (int j = 0; j < kRows; ++j)
    for (int i = 0; i < kColumns; ++i) {
      for (int k = 0; k < 3; ++k) putFloat(&s, 0);
      corner(i, j), corner(i + 1, j), corner(i + 1, j + 1);
      s += std::string(2, '\0');
      for (int k = 0; k < 3; ++k) putFloat(&s, 0);
      corner(i, j), corner(i + 1, j + 1), corner(i, j + 1);
      s += std::string(2, '\0');
    }
  return s;
}

// The same grid as .glb: shared vertices and 32-bit indices, Y-up.
std::string gridGlb() {
  std::string bin;
  const uint32_t vertices = (kColumns + 1) * (kRows + 1), indices = 6u * kColumns * kRows;
  for (int j = 0; j <= kRows; ++j)
    for (int i = 0; i <= kColumns; ++i) {
      putFloat(&bin, (float)i);
      putFloat(&bin, gridHeight(i, j));
      putFloat(&bin, (float)-j);
    }
  const uint32_t positionBytes = (uint32_t)bin.size();
  for (int j = 0; j < kRows; ++j)
    for (int i = 0; i < kColumns; ++i) {
      uint32_t a = j * (kColumns + 1) + i, b = a + 1, c = a + kColumns + 2, d = a + kColumns + 1;
      for (uint32_t v : {a, b, c, a, c, d}) put32(&bin, v);
    }
  char json[1024];
  std::snprintf(json, sizeof json,
                "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],"
                "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}],"
                "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":%u,\"type\":\"VEC3\"},"
                "{\"bufferView\":1,\"componentType\":5125,\"count\":%u,\"type\":\"SCALAR\"}],"
                "\"bufferViews\":[{\"buffer\":0,\"byteLength\":%u},{\"buffer\":0,\"byteOffset\":%u,\"byteLength\":%u}],"
                "\"buffers\":[{\"byteLength\":%u}]}",
                vertices, indices, positionBytes, positionBytes, (uint32_t)bin.size() - positionBytes,
                (uint32_t)bin.size());
  std::string text = json;
  text += std::string((4 - text.size() % 4) % 4, ' ');
  std::string glb;
  put32(&glb, 0x46546C67);
  put32(&glb, 2);
  put32(&glb, (uint32_t)(12 + 8 + text.size() + 8 + bin.size()));
  put32(&glb, (uint32_t)text.size());
  put32(&glb, 0x4E4F534A);
  glb += text;
  put32(&glb, (uint32_t)bin.size());
  put32(&glb, 0x004E4942);
  return glb + bin;
}

void importOurs(benchmark::State& state, const std::string& path) {
  int64_t triangles = 0;
  for (auto _ : state) {
    VxmModel* model = vxmModelLoad(path.c_str());
    if (!model) {
      state.SkipWithError(vxmImportReason());
      break;
    }
    triangles = vxmImportTriangles();
    vxmModelFree(model);
  }
  state.counters["triangles"] = (double)triangles;
  state.counters["triangles/s"] = benchmark::Counter((double)triangles, benchmark::Counter::kIsIterationInvariantRate);
}

#if defined(QUIRLA_HAVE_ASSIMP)
void importAssimp(benchmark::State& state, const std::string& path, unsigned steps) {
  Assimp::Importer importer;
  double triangles = 0;
  for (auto _ : state) {
    const aiScene* scene = importer.ReadFile(path, steps);
    if (!scene) {
      state.SkipWithError(importer.GetErrorString());
      break;
    }
    triangles = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) triangles += scene->mMeshes[m]->mNumFaces;
    importer.FreeScene();
  }
  state.counters["triangles"] = triangles;
  state.counters["triangles/s"] = benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
}
#endif

void registerFile(const std::string& name, const std::string& path) {
  if (path.empty() || !fs::exists(path)) return;
  benchmark::RegisterBenchmark(("import/" + name + "/quirla").c_str(), importOurs, path)->Unit(benchmark::kMillisecond);
#if defined(QUIRLA_HAVE_ASSIMP)
  benchmark::RegisterBenchmark(("import/" + name + "/assimp").c_str(), importAssimp, path, aiProcess_Triangulate)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark(("import/" + name + "/assimp-joined").c_str(), importAssimp, path,
                               aiProcess_Triangulate | aiProcess_JoinIdenticalVertices)
      ->Unit(benchmark::kMillisecond);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  appHostSetInstallPath("");
  appEnableMessages(false);
  const fs::path folder = fs::temp_directory_path() / "quirla-bench-import";
  fs::create_directories(folder);
  const fs::path stl = folder / "grid.stl", glb = folder / "grid.glb";
  if (!writeBytes(stl, gridStl()) || !writeBytes(glb, gridGlb())) {
    std::fprintf(stderr, "cannot write the generated files in %s\n", folder.c_str());
    return 1;
  }
  registerFile("grid-1M.stl", stl.string());
  registerFile("grid-1M.glb", glb.string());
  const std::string models = "/usr/share/assimp/models/";
  registerFile("Wuson.stl", models + "STL/Wuson.stl");
  registerFile("Spider_ascii.stl", models + "STL/Spider_ascii.stl");
  registerFile("WusonOBJ.obj", models + "OBJ/WusonOBJ.obj");
  registerFile("spider.obj", models + "OBJ/spider.obj");
  registerFile("2CylinderEngine.glb", models + "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb");
  registerFile("ClearCoatTest.gltf", models + "glTF2/ClearCoat-glTF/ClearCoatTest.gltf");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(folder);
  return 0;
}
