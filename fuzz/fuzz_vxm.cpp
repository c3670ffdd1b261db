// fuzz_vxm.cpp: libFuzzer entry for the VXM reader. Each input is written to a file in a private
// installation folder (which also holds the bitmap t.bmp that inputs may name) and loaded; a
// model that loads is checked, double-sided, saved and read back. Any leak aborts.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app.h"
#include "appHost.h"
#include "vxmMem.h"
#include "vxmModel.h"

static std::string fuzzFolder;

static bool fuzzWrite(const std::string& path, const void* data, size_t size) {
  FILE* file = appFileOpen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

// A 2 x 2 24-bit bitmap.
static const unsigned char kBitmap[70] = {
    'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
    0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6,
    0,   0,   7,  8, 9, 10, 11, 12, 0, 0};

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  char folder[] = "/tmp/quirla-fuzz-vxm-XXXXXX";
  if (!mkdtemp(folder)) std::abort();
  fuzzFolder = folder;
  appHostSetInstallPath(folder);
  if (!fuzzWrite(fuzzFolder + "/t.bmp", kBitmap, sizeof kBitmap)) std::abort();
  // An input may name any file as a texture: make sure none of them can wait for a terminal.
  if (!std::freopen("/dev/null", "r", stdin)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzzFolder + "/input.vxm", output = fuzzFolder + "/output.vxm";
  if (!fuzzWrite(input, data, size)) std::abort();
  const long live = vxmMemLiveBlocks();
  // Alternate the answer to "remove this texture?" so that both paths run.
  appHostSetAnswer(size % 2 == 0);
  VxmModel* model = vxmModelLoadVXM("input.vxm");
  if (model) {
    for (int32_t i = 0; i < model->triCount; ++i)
      for (int k = 0; k < 3; ++k)
        if (model->tris[i].v[k] < 0 || model->tris[i].v[k] >= model->vertexCount) std::abort();
    if (!vxmModelSaveVXM(model, output.c_str())) std::abort();
    VxmModel* again = vxmModelLoadVXM(output.c_str());
    if (!again || again->vertexCount != model->vertexCount || again->triCount != model->triCount ||
        again->textureCount != model->textureCount || again->vertexNormalCount != model->vertexNormalCount)
      std::abort();
    vxmModelFree(again);
    vxmModelMakeDoubleSided(model);
    vxmModelCalcAverageNormals(model);
    VxmVector centre;
    float radius;
    if (vxmModelGetCentre(model, &centre)) vxmModelGetRadius(model, &centre, &radius);
    vxmModelValidateTextureCoords(model);
    vxmModelFree(model);
  }
  if (vxmMemLiveBlocks() != live) std::abort();
  return 0;
}
