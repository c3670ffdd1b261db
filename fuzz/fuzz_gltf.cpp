// fuzz_gltf.cpp: libFuzzer entry for the glTF reader: each input is the model (text or .glb,
// told apart by its first bytes) and also b.bin beside it, so that a buffer naming "b.bin" reads
// the input's own bytes.
#include "FuzzImport.h"

static std::string fuzzFolder;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("gltf", false);
  appEnableMessages(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzImport(fuzzFolder, "input.gltf", {"b.bin"}, data, size);
  return 0;
}
