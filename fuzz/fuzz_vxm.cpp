// fuzz_vxm.cpp: libFuzzer entry for the VXM reader. Each input is written to a file in a private
// installation folder (which also holds the bitmap t.bmp that inputs may name) and loaded; a
// model that loads is checked, double-sided, saved and read back. Any leak aborts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFolder.h"
#include "vxmMem.h"
#include "vxmModel.h"

static std::string fuzzFolder;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("vxm", true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzzFolder + "/input.vxm", output = fuzzFolder + "/output.vxm";
  fuzzWrite(input, data, size);
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
