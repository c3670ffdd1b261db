// ImportPictures.cpp: the texture pictures of imported models: kept once per picture, put into
// the model's twelve texture slots, facet coordinates fitted into their picture by the model's
// texture rule, and the pictures written as BMP files beside a model when it is saved.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ImportInternal.h"
#include "ImportLibs.h"
#include "app.h"
#include "vxmMem.h"


int32_t importFindPicture(const ImportBuild* build, const char* key) {
  for (int32_t i = 0; i < build->pictureCount; ++i)
    if (std::strcmp(build->pictures[i].key, key) == 0) return i;
  return -1;
}

static uint32_t importAverageColour(const VxmBitmap* bitmap) {
  uint64_t sum[3] = {0, 0, 0};
  for (int32_t row = 0; row < bitmap->height; ++row) {
    const uint8_t* p = bitmap->lineTable[row];
    for (int32_t x = 0; x < bitmap->width; ++x, p += 3)
      for (int c = 0; c < 3; ++c) sum[c] += p[c];
  }
  uint64_t count = (uint64_t)bitmap->width * (uint64_t)bitmap->height;
  uint32_t colour = 0;
  for (int c = 0; c < 3; ++c) colour |= (uint32_t)((sum[c] + count / 2) / count) << (8 * c);
  return colour;
}

int32_t importAddPicture(ImportBuild* build, const char* key, const char* path, const uint8_t* bytes, int64_t size) {
  if (build->pictureCount >= IMPORT_MAX_PICTURES) {
    APP_TRACE("The model has more than %d pictures: %s is not taken.", (int)IMPORT_MAX_PICTURES, path);
    return -1;
  }
  if (!build->pictures) {
    build->pictures = (ImportPicture*)vxmMemAlloc(sizeof(ImportPicture) * IMPORT_MAX_PICTURES);
    if (!build->pictures) {
      APP_TRACE("Out of Memory!");
      return -1;
    }
  }
  VxmBitmap* bitmap = importDecodePicture(bytes, size, path);
  if (!bitmap) return -1;
  ImportPicture* picture = &build->pictures[build->pictureCount];
  std::snprintf(picture->key, sizeof picture->key, "%s", key);
  std::snprintf(picture->path, sizeof picture->path, "%s", path);
  picture->average = importAverageColour(bitmap);
  picture->slot = -1;
  // Pictures beyond the model's slots only lend their colour.
  if (build->pictureCount >= VXM_MAX_TEXTURES) {
    vxmBitmapFree(bitmap);
    bitmap = nullptr;
  }
  picture->bitmap = bitmap;
  return build->pictureCount++;
}

// One axis of a facet: the tile that holds all three corners, or false.
static bool importFitAxis(const float* c, int32_t size, int32_t* fitted) {
  double low = c[0], high = c[0];
  for (int k = 1; k < 3; ++k) {
    if (c[2 * k] < low) low = c[2 * k];
    if (c[2 * k] > high) high = c[2 * k];
  }
  if (!std::isfinite(low) || !std::isfinite(high) || high - low > 1.0 || std::fabs(low) > 1e6) return false;
  double tile = std::floor(low);
  if (high > tile + 1.0) return false;
  const int64_t last = (int64_t)size * (1 << VXM_UV_SHIFT) - 1;
  for (int k = 0; k < 3; ++k) {
    int64_t value = (int64_t)std::floor((c[2 * k] - tile) * size * (1 << VXM_UV_SHIFT));
    fitted[2 * k] = (int32_t)(value < 0 ? 0 : value > last ? last : value);
  }
  return true;
}

bool importFitCoordinates(const float uv[6], int32_t width, int32_t height, int32_t fitted[6]) {
  return importFitAxis(uv, width, fitted) && importFitAxis(uv + 1, height, fitted + 1);
}

void importInstallPictures(ImportBuild* build, VxmModel* model) {
  for (int32_t i = 0; i < build->pictureCount; ++i) {
    ImportPicture* picture = &build->pictures[i];
    if (!picture->bitmap || model->textureCount >= VXM_MAX_TEXTURES) continue;
    VxmTexture* slot = &model->textures[model->textureCount];
    slot->bitmap = picture->bitmap;
    std::snprintf(slot->path, sizeof slot->path, "%s", picture->path);
    slot->name = (char*)appFileName(slot->path);
    picture->slot = model->textureCount++;
    picture->bitmap = nullptr;
  }
}

void importTextureTri(const ImportBuild* build, const VxmModel* model, VxmTri* to, int32_t from) {
  const ImportPicture* picture = &build->pictures[build->tris[from].picture];
  if (picture->slot >= 0) {
    VxmBitmap* bitmap = model->textures[picture->slot].bitmap;
    if (importFitCoordinates(&build->uvs[6 * (size_t)from], bitmap->width, bitmap->height, to->uv)) {
      to->texture = bitmap;
      return;
    }
  }
  to->texture = nullptr;
  to->colour = picture->average;
}

// --- Writing pictures beside a saved model -------------------------------------------------------------

// True when the file at `path` holds exactly this BMP.
static bool importSameFile(const char* path, const uint8_t headers[VXM_BMP_HEADERS], const VxmBitmap* bitmap) {
  FILE* file = appFileOpen(path, "rb");
  if (!file) return false;
  uint8_t block[4096];
  bool same = std::fread(block, 1, VXM_BMP_HEADERS, file) == VXM_BMP_HEADERS &&
              std::memcmp(block, headers, VXM_BMP_HEADERS) == 0;
  for (int32_t at = 0; same && at < bitmap->bitsSize;) {
    size_t want = (size_t)(bitmap->bitsSize - at) < sizeof block ? (size_t)(bitmap->bitsSize - at) : sizeof block;
    same = std::fread(block, 1, want, file) == want && std::memcmp(block, bitmap->bits + at, want) == 0;
    at += (int32_t)want;
  }
  same = same && std::fgetc(file) == EOF;
  std::fclose(file);
  return same;
}

static bool importIsBmpPath(const char* path) {
  size_t length = std::strlen(path);
  if (length < 4) return false;
  const char* ext = path + length - 4;
  return ext[0] == '.' && (ext[1] | 0x20) == 'b' && (ext[2] | 0x20) == 'm' && (ext[3] | 0x20) == 'p';
}

bool vxmImportWritePictures(VxmModel* model, const char* fileName) {
  if (!model || !fileName) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  char stem[APP_PATH_LENGTH];
  std::snprintf(stem, sizeof stem, "%s", fileName);
  char* dot = std::strrchr(stem, '.');
  if (dot && !std::strpbrk(dot, "\\/")) *dot = 0;
  int number = 1;
  for (int32_t s = 0; s < model->textureCount; ++s) {
    VxmTexture* slot = &model->textures[s];
    if (importIsBmpPath(slot->path)) continue;
    uint8_t headers[VXM_BMP_HEADERS];
    vxmBitmapBmpHeaders(slot->bitmap, headers);
    char path[APP_PATH_LENGTH];
    // The first name that is free or already holds this picture; never over another file.
    for (;; ++number) {
      if (std::snprintf(path, sizeof path, "%s-%d.bmp", stem, number) >= (int)sizeof path) {
        APP_TRACE("The path of the picture beside %s is too long", fileName);
        return false;
      }
      if (!appFileExists(path)) break;
      if (importSameFile(path, headers, slot->bitmap)) break;
    }
    ++number;
    if (!importSameFile(path, headers, slot->bitmap)) {
      if (!vxmBitmapSaveBMP(slot->bitmap, path)) {
        APP_TRACE("Failed to write picture: %s", path);
        return false;
      }
    }
    std::snprintf(slot->path, sizeof slot->path, "%s", path);
    slot->name = (char*)appFileName(slot->path);
  }
  return true;
}
