// fuzz_vlt.cpp: libFuzzer entry for the VLT reader. Each input is written to a file in a private
// installation folder and loaded; lighting that loads is saved and must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFolder.h"
#include "vxmLight.h"

static std::string fuzzFolder;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("vlt", false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzzFolder + "/input.vlt", output = fuzzFolder + "/output.vlt";
  fuzzWrite(input, data, size);
  if (!vxmLightLoadVLT("input.vlt")) return 0;
  const uint32_t ambient = vxmLightGetAmbient(), directional = vxmLightGetDirectional();
  const uint8_t red = vxmLightGetRedTable()[200 * 256 + 100];
  if (!vxmLightSaveVLT(output.c_str())) std::abort();
  vxmLightSetAmbient(0);
  vxmLightSetDirectional(0);
  if (!vxmLightLoadVLT(output.c_str())) std::abort();
  if (vxmLightGetAmbient() != ambient || vxmLightGetDirectional() != directional ||
      vxmLightGetRedTable()[200 * 256 + 100] != red)
    std::abort();
  return 0;
}
