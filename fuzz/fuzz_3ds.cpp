// fuzz_3ds.cpp: libFuzzer entry for the 3DS reader: any bytes, loaded as a .3ds file. Beyond
// the sanitizers' checks, every model it yields must keep its facets inside its vertex table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app.h"
#include "appHost.h"
#include "vxmModel.h"

static std::string fuzzPath(void) {
  // One file per process, in memory where the system offers it.
  const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(folder) + "/fuzz_3ds_" + std::to_string(getpid()) + ".3ds";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = fuzzPath();
  static bool ready = false;
  if (!ready) {
    appHostSetInstallPath("");
    appEnableMessages(false);
    ready = true;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) std::abort();
  if (size && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  VxmModel* model = vxmModelLoad3DS(path.c_str());
  if (model) {
    if (model->vertexCount < 1 || model->triCount < 1) std::abort();
    for (int32_t i = 0; i < model->triCount; ++i)
      for (int k = 0; k < 3; ++k)
        if (model->tris[i].v[k] < 0 || model->tris[i].v[k] >= model->vertexCount) std::abort();
    vxmModelFree(model);
  }
  return 0;
}
