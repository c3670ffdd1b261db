// mkdata.h: the parts of the installation-data generator: the pictures of Textures\, the models
// of Models\ and the lighting files of Lights\, each written into the folder given to mkdata.
#pragma once

#include <cstdint>

#include "vxmBitmap.h"

// Each writes its files below `root` (the installation folder, ending in a separator) and returns
// false, after a message on standard error, when one of them cannot be made. The models name
// their textures relative to the installation folder, so the pictures come first.
bool mkPictures(const char* root);
bool mkModels(const char* root);
bool mkLights(const char* root);

// root + name into path (APP_PATH_LENGTH characters); false when it does not fit.
bool mkJoin(const char* root, const char* name, char* path);

// Writes a bitmap as an uncompressed BMP file of `fileDepth` bits: 24 from a 24-bit bitmap, 8 or
// 4 from an 8-bit bitmap whose pixels index its palette (below 16 for 4 bits). Rows in the
// bitmap's order (row 0 is the bottom row of the file's picture); full palettes; no time stamps.
bool mkWriteBMP(const VxmBitmap* bitmap, int fileDepth, const char* path);
