// fuzz_stl.cpp: libFuzzer entry for the STL reader: any bytes as a .stl file, binary or text.
#include "FuzzImport.h"

static std::string fuzzFolder;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("stl", false);
  appEnableMessages(false);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzImport(fuzzFolder, "input.stl", {}, data, size);
  return 0;
}
