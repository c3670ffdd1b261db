// fuzz_obj.cpp: libFuzzer entry for the OBJ reader: each input is the .obj file and also m.mtl
// beside it, so that an input naming "mtllib m.mtl" has its own bytes read as materials.
#include "FuzzImport.h"

static std::string fuzzFolder;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("obj", false);
  appEnableMessages(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzImport(fuzzFolder, "input.obj", {"m.mtl"}, data, size);
  return 0;
}
