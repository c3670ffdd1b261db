// FuzzFolder.h: what the file-reading fuzz targets share: a private installation folder in /tmp,
// the 2 x 2 bitmap t.bmp that model inputs may name as a texture, and each input written there.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app.h"
#include "appHost.h"

// Writes bytes to a file; stops the fuzzer if it cannot.
inline void fuzzWrite(const std::string& path, const void* data, size_t size) {
  FILE* file = appFileOpen(path.c_str(), "wb");
  if (!file) std::abort();
  const bool ok = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !ok) std::abort();
}

// Makes /tmp/quirla-fuzz-<name>-XXXXXX the installation folder and returns it; with `bitmap`,
// it also holds t.bmp, and standard input is /dev/null so that no input naming a file can make
// a reader wait for a terminal.
inline std::string fuzzFolderSetUp(const char* name, bool bitmap) {
  static const unsigned char kBitmap[70] = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,
      0,   0,   0,  0, 0, 0, 0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6,
      0,   0,   7,  8, 9, 10, 11, 12, 0, 0};
  std::string folder = std::string("/tmp/quirla-fuzz-") + name + "-XXXXXX";
  if (!mkdtemp(folder.data())) std::abort();
  appHostSetInstallPath(folder.c_str());
  if (bitmap) {
    fuzzWrite(folder + "/t.bmp", kBitmap, sizeof kBitmap);
    if (!std::freopen("/dev/null", "r", stdin)) std::abort();
  }
  return folder;
}
