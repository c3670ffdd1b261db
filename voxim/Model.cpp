// Model.cpp: the in-memory model (creation, normals, extents, lathe, double-siding, the texture
// table) and its VXM files: the reader, the writer and the dispatch of model files by extension.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app.h"
#include "vxmMem.h"
#include "vxmModel.h"
#include "vxmImport.h"
#include "vxmTwin.h"

// A failed allocation is traced and shown to the user.
#define MODEL_OUT_OF_MEMORY()       \
  do {                              \
    APP_TRACE("Out of Memory!");    \
    appWarning("Out of Memory!");   \
  } while (0)

namespace {

// Skipped lines (notice, headings) and texture lines are read as up to 255 characters; a longer
// line is taken as two.
constexpr int kLineBuffer = 256;

constexpr const char* kVxmNotice = "- Quirla model file";

void copyText(char* dst, const char* src, size_t size) {
  size_t n = std::strlen(src);
  if (n >= size) n = size - 1;
  std::memcpy(dst, src, n);
  dst[n] = 0;
}

// The slot's name is the part of its path after the last backslash.
void slotSetName(VxmTexture* slot) {
  char* cut = std::strrchr(slot->path, '\\');
  slot->name = cut ? cut + 1 : slot->path;
}

// --- Texture paths that travel with the model ------------------------------------------------------
// A texture is stored relative to the model's own folder when it lies in it or below it, relative
// to the installation folder when it lies there, and as it is otherwise. Reading looks for a
// relative path in the model's own folder first, then in the installation folder, then as written.

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// "C:\...", "\...", "\\server\..." and "/..." name their place without the current folder.
bool isAbsolutePath(const char* path) { return isSeparator(path[0]) || (path[0] && path[1] == ':'); }

// The length of the folder part of a path, its last separator included (0 without one).
size_t folderLength(const char* path) {
  size_t length = 0;
  for (size_t i = 0; path[i]; ++i)
    if (isSeparator(path[i])) length = i + 1;
  return length;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c; }

// True when `path` lies in the folder of `length` characters (which ends in a separator) or below
// it; folder names compare without regard to case, and either separator matches the other.
bool liesIn(const char* path, const char* folder, size_t length) {
  if (length == 0 || !isSeparator(folder[length - 1])) return false;
  for (size_t i = 0; i < length; ++i) {
    const char a = path[i], b = folder[i];
    if (!a) return false;
    if (isSeparator(a) && isSeparator(b)) continue;
    if (lowerAscii(a) != lowerAscii(b)) return false;
  }
  return path[length] != 0;
}

// The file a slot's path names for a model read from (or last saved as) `modelFile`: a relative
// path is tried in the model's folder first; the bitmap reader then tries the installation folder
// and the path as written.
void textureLocation(const char* modelFile, const char* slotPath, char* location) {
  const size_t folder = modelFile ? folderLength(modelFile) : 0;
  const size_t length = std::strlen(slotPath);
  if (folder && !isAbsolutePath(slotPath) && folder + length < APP_PATH_LENGTH) {
    std::memcpy(location, modelFile, folder);
    std::memcpy(location + folder, slotPath, length + 1);
    if (appFileExists(location)) return;
  }
  copyText(location, slotPath, APP_PATH_LENGTH);
}

VxmBitmap* loadSlotBitmap(const char* modelFile, const char* slotPath) {
  char location[APP_PATH_LENGTH];
  textureLocation(modelFile, slotPath, location);
  return vxmBitmapLoadBMP(location);
}

// The form a slot's path takes in a model saved as `target`: relative to the target's folder when
// the texture lies there, relative to the installation folder when it lies there, else the place
// where it was found (a path relative to the model's former folder would not travel).
void storedTexturePath(const VxmModel* model, const char* slotPath, const char* target, char* stored) {
  char where[APP_PATH_LENGTH];
  textureLocation(model->fileName, slotPath, where);
  if (!isAbsolutePath(where)) {
    char installed[APP_PATH_LENGTH];
    if (appLocateFile(where, installed) && isAbsolutePath(installed)) copyText(where, installed, sizeof where);
  }
  const size_t targetFolder = folderLength(target);
  const char* install = appInstallPath();
  if (isAbsolutePath(where) && isAbsolutePath(target) && liesIn(where, target, targetFolder))
    copyText(stored, where + targetFolder, APP_PATH_LENGTH);
  else if (isAbsolutePath(where) && install[0] && liesIn(where, install, std::strlen(install)))
    copyText(stored, where + std::strlen(install), APP_PATH_LENGTH);
  else
    copyText(stored, where, APP_PATH_LENGTH);  // the place it was found, or the path as it is
}

void slotClear(VxmTexture* slot) {
  slot->bitmap = nullptr;
  slot->path[0] = 0;
  slot->name = slot->path;
}

void freeTables(VxmModel* model) {
  vxmMemFree(model->vertices);
  vxmMemFree(model->tris);
  vxmMemFree(model->vertexNormals);
  model->vertices = nullptr;
  model->tris = nullptr;
  model->vertexNormals = nullptr;
  model->vertexCount = 0;
  model->triCount = 0;
  model->vertexNormalCount = 0;
}

void freeSlotBitmaps(VxmModel* model) {
  int count = model->textureCount;
  if (count > VXM_MAX_TEXTURES) count = VXM_MAX_TEXTURES;
  for (int i = 0; i < count; ++i) {
    if (model->textures[i].bitmap) vxmBitmapFree(model->textures[i].bitmap);
    slotClear(&model->textures[i]);
  }
  model->textureCount = 0;
}

bool equalsIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char ca = (*a >= 'A' && *a <= 'Z') ? (char)(*a - 'A' + 'a') : *a;
    char cb = (*b >= 'A' && *b <= 'Z') ? (char)(*b - 'A' + 'a') : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

// Facet texture coordinates: texels times 4096, truncated toward zero, kept inside 32 bits.
int32_t texelsToFixed(float texels) {
  double value = (double)texels * 4096.0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return (int32_t)value;
}

bool coordInside(int32_t value, int32_t size) { return value >= 0 && (int64_t)value < (int64_t)size * 4096; }

void untextureInvalidCoords(VxmModel* model) {
  for (int32_t i = model->triCount - 1; i >= 0; --i) {
    VxmTri* tri = &model->tris[i];
    const VxmBitmap* bitmap = tri->texture;
    if (!bitmap) continue;
    bool inside = true;
    for (int k = 0; k < 3; ++k)
      inside = inside && coordInside(tri->uv[2 * k], bitmap->width) && coordInside(tri->uv[2 * k + 1], bitmap->height);
    if (!inside) {
      tri->texture = nullptr;
      tri->colour = VXM_DEFAULT_COLOUR;
    }
  }
}

}  // namespace

// --- Creation and release ----------------------------------------------------------------------

VxmModel* vxmModelCreate(int32_t vertexCount, int32_t vertexNormalCount, int32_t triCount) {
  if (vertexCount < 1 || vertexNormalCount < 0 || triCount < 1) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  VxmModel* model = static_cast<VxmModel*>(vxmMemAlloc(sizeof(VxmModel)));
  if (!model) {
    MODEL_OUT_OF_MEMORY();
    return nullptr;
  }
  std::memset(model, 0, sizeof *model);
  for (int i = 0; i < VXM_MAX_TEXTURES; ++i) slotClear(&model->textures[i]);
  if (!vxmModelInit(model, vertexCount, vertexNormalCount, triCount)) {
    APP_TRACE("Failed to initialise model");
    vxmMemFree(model);
    return nullptr;
  }
  return model;
}

// Called by vxmModelCreate on a zeroed record. On a record in use it also releases the slot
// bitmaps, which would otherwise be lost when the texture count goes back to 0.
bool vxmModelInit(VxmModel* model, int32_t vertexCount, int32_t vertexNormalCount, int32_t triCount) {
  if (!model || vertexCount <= 0 || vertexNormalCount < 0 || triCount <= 0) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  freeTables(model);
  freeSlotBitmaps(model);
  int32_t vertexBytes = 0, triBytes = 0, normalBytes = 0;
  if (!vxmMemMulSize(vertexCount, sizeof(VxmVector), &vertexBytes) ||
      !vxmMemMulSize(triCount, sizeof(VxmTri), &triBytes) ||
      !vxmMemMulSize(vertexNormalCount, sizeof(VxmVector), &normalBytes)) {
    MODEL_OUT_OF_MEMORY();
    return false;
  }
  model->vertices = static_cast<VxmVector*>(vxmMemCalloc(vertexCount, sizeof(VxmVector)));
  if (model->vertices) model->tris = static_cast<VxmTri*>(vxmMemCalloc(triCount, sizeof(VxmTri)));
  if (model->tris && vertexNormalCount > 0)
    model->vertexNormals = static_cast<VxmVector*>(vxmMemCalloc(vertexNormalCount, sizeof(VxmVector)));
  if (!model->vertices || !model->tris || (vertexNormalCount > 0 && !model->vertexNormals)) {
    freeTables(model);
    MODEL_OUT_OF_MEMORY();
    return false;
  }
  model->vertexCount = vertexCount;
  model->triCount = triCount;
  model->vertexNormalCount = vertexNormalCount;
  model->textureCount = 0;
  vxmMatIdentity(&model->matrix);
  model->highlight = false;
  model->highlightValue = VXM_DEFAULT_HIGHLIGHT_VALUE;
  model->averageNormals = false;
  for (int32_t i = 0; i < triCount; ++i) {
    VxmTri* tri = &model->tris[i];
    tri->texture = nullptr;
    tri->colour = VXM_DEFAULT_COLOUR;
    tri->n[0] = tri->n[1] = tri->n[2] = -1;
  }
  return true;
}

void vxmModelFree(VxmModel* model) {
  if (!model) return;
  freeTables(model);
  freeSlotBitmaps(model);
  vxmMemFree(model);
}

// --- Measures ----------------------------------------------------------------------------------

bool vxmModelGetExtents(const VxmModel* model, VxmVector* min, VxmVector* max) {
  if (!model || !min || !max) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (model->vertexCount <= 0 || !model->vertices) return false;
  VxmVector lo = model->vertices[0], hi = model->vertices[0];
  for (int32_t i = 0; i < model->vertexCount; ++i) {
    const VxmVector& v = model->vertices[i];
    if (v.x < lo.x) lo.x = v.x; else if (v.x > hi.x) hi.x = v.x;
    if (v.y < lo.y) lo.y = v.y; else if (v.y > hi.y) hi.y = v.y;
    if (v.z < lo.z) lo.z = v.z; else if (v.z > hi.z) hi.z = v.z;
  }
  *min = lo;
  *max = hi;
  return true;
}

bool vxmModelGetCentre(const VxmModel* model, VxmVector* centre) {
  if (!model || !centre) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  VxmVector lo, hi;
  if (!vxmModelGetExtents(model, &lo, &hi)) {
    APP_TRACE("Failed to get model extents");
    return false;
  }
  centre->x = (float)(((double)lo.x + hi.x) * 0.5);
  centre->y = (float)(((double)lo.y + hi.y) * 0.5);
  centre->z = (float)(((double)lo.z + hi.z) * 0.5);
  return true;
}

bool vxmModelGetRadius(const VxmModel* model, const VxmVector* point, float* radius) {
  if (!model || !point || !radius) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  double best = 0.0;
  for (int32_t i = 0; model->vertices && i < model->vertexCount; ++i) {
    const VxmVector& v = model->vertices[i];
    double dx = (double)v.x - point->x, dy = (double)v.y - point->y, dz = (double)v.z - point->z;
    double d = vxmMathSqrt(dx * dx + dy * dy + dz * dz);
    if (d > best) best = d;
  }
  *radius = (float)best;
  return true;
}

// --- Normals -----------------------------------------------------------------------------------

// The normal is rounded to float before it is normalised: the two steps stay functions of their
// own, so that no compiler carries the unrounded products from one into the other.
void vxmModelCalcTriNormal(const VxmModel* model, VxmTri* tri) {
  if (!vxmModelTriCornersValid(model, tri)) {  // never read outside the vertex table
    tri->normal = VxmVector{0.0f, 0.0f, 0.0f};
    return;
  }
  const VxmVector* v = model->vertices;
  vxmVtxTriNormal(&tri->normal, &v[tri->v[0]], &v[tri->v[1]], &v[tri->v[2]]);
  vxmVecNormalise(&tri->normal);
}

bool vxmModelCalcSurfaceNormals(VxmModel* model) {
  if (!model) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  for (int32_t i = 0; model->tris && i < model->triCount; ++i) vxmModelCalcTriNormal(model, &model->tris[i]);
  return true;
}

bool vxmModelCalcAverageNormals(VxmModel* model) {
  if (!model) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  vxmMemFree(model->vertexNormals);
  model->vertexNormals = nullptr;
  model->vertexNormalCount = 0;
  int32_t bytes = 0;
  VxmVector* normals = nullptr;
  if (vxmMemMulSize(model->vertexCount, sizeof(VxmVector), &bytes))
    normals = static_cast<VxmVector*>(vxmMemCalloc(model->vertexCount, sizeof(VxmVector)));
  if (!normals) {
    // No table any more: no facet may name an entry of it.
    for (int32_t i = 0; model->tris && i < model->triCount; ++i)
      model->tris[i].n[0] = model->tris[i].n[1] = model->tris[i].n[2] = -1;
    MODEL_OUT_OF_MEMORY();
    return false;
  }
  model->vertexNormals = normals;
  model->vertexNormalCount = model->vertexCount;
  for (int32_t i = 0; i < model->triCount; ++i) {
    VxmTri* tri = &model->tris[i];
    if (!vxmModelTriCornersValid(model, tri)) {
      APP_TRACE("Invalid vertex index");
      return false;
    }
    for (int k = 0; k < 3; ++k) {
      vxmVecAdd(&normals[tri->v[k]], &tri->normal);
      tri->n[k] = tri->v[k];
    }
  }
  for (int32_t i = 0; i < model->vertexCount; ++i) vxmVecNormalise(&normals[i]);
  model->averageNormals = true;
  return true;
}

// --- Surface of revolution ---------------------------------------------------------------------

VxmModel* vxmModelCreateLathe(const VxmVector* profile, int32_t profileCount, const VxmVector* profileNormals,
                              int32_t segments) {
  if (!profile) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  const int64_t points = profileCount, rings = segments;
  const int64_t vertexCount = points * rings, triCount = (points - 1) * rings * 2;
  if (points < 1 || rings < 1 || vertexCount < 1 || triCount < 1 || vertexCount > INT32_MAX ||
      triCount > INT32_MAX) {
    APP_TRACE("Invalid Parameters");
    APP_TRACE("Failed to create model");
    return nullptr;
  }
  VxmModel* model = vxmModelCreate((int32_t)vertexCount, (int32_t)vertexCount, (int32_t)triCount);
  if (!model) {
    APP_TRACE("Failed to create model");
    return nullptr;
  }
  const int32_t p = profileCount, s = segments;
  const float step = (float)((double)6.2831855f / s);
  float angle = 0.0f;
  for (int32_t r = 0; r < s; ++r) {
    VxmMatrix turn;
    vxmMatRotateY(&turn, angle);
    vxmVtxTransform(&model->vertices[r * p], &turn, profile, p);
    if (profileNormals) vxmVecRotate(&model->vertexNormals[r * p], &turn, profileNormals, p);
    angle = (float)((double)angle + step);
  }
  VxmTri* tri = model->tris;
  auto facet = [&tri](int32_t a, int32_t b, int32_t c) {
    tri->v[0] = a;
    tri->v[1] = b;
    tri->v[2] = c;
    // The model has one vertex normal per vertex: each corner names its own.
    tri->n[0] = a;
    tri->n[1] = b;
    tri->n[2] = c;
    ++tri;
  };
  for (int32_t r = 0; r + 1 < s; ++r)
    for (int32_t k = 0; k + 1 < p; ++k) {
      int32_t i = r * p + k;
      facet(i, i + p, i + 1);
      facet(i + 1, i + p, i + 1 + p);
    }
  for (int32_t k = 0; k + 1 < p; ++k) {  // the band that closes the last ring onto ring 0
    int32_t j = (s - 1) * p + k;
    facet(j, k, j + 1);
    facet(j + 1, k, k + 1);
  }
  if (!vxmModelCalcSurfaceNormals(model)) {
    APP_TRACE("Failed to calculate surface normals");
    vxmModelFree(model);
    return nullptr;
  }
  return model;
}

// --- Double-sided facets -----------------------------------------------------------------------


// Every facet is followed by its reversed twin (b, a, c) unless the facet table already holds a
// rotation of (a, c, b). An index of the facets by their corners up to rotation (vxmTwin.h)
// replaces a search of the whole table per facet, with the same result; the normals are computed
// as the facets are written.
void vxmModelMakeDoubleSided(VxmModel* model) {
  if (!model) return;
  appStatusText("Making all facets double-sided...");
  const int32_t count = model->triCount;
  if (count < 1 || !model->tris) {
    appStatusText(nullptr);
    return;
  }
  const VxmTri* tris = model->tris;
  int32_t workBytes = 0;
  VxmTri* work = nullptr;
  VxmTwinIndex index;
  if (vxmMemMulSize(2 * (int64_t)count, sizeof(VxmTri), &workBytes)) {
    work = static_cast<VxmTri*>(vxmMemAlloc((size_t)workBytes));
    if (work && !vxmTwinIndexMake(&index, tris, sizeof(VxmTri), count)) {
      vxmMemFree(work);
      work = nullptr;
    }
  }
  if (!work) {  // the model stays as it was
    MODEL_OUT_OF_MEMORY();
    appStatusText(nullptr);
    return;
  }

  int32_t written = 0;
  for (int32_t i = 0, step = 0; i < count; ++i) {
    const VxmTri& f = tris[i];
    VxmTri* copy = &work[written++];
    *copy = f;
    vxmModelCalcTriNormal(model, copy);
    if (!vxmTwinIndexHoldsReverse(&index, f.v[0], f.v[1], f.v[2])) {
      VxmTri* twin = &work[written++];
      *twin = f;
      twin->v[0] = f.v[1];
      twin->v[1] = f.v[0];
      vxmModelCalcTriNormal(model, twin);
    }
    if (i == step) {
      appProgress((uint32_t)i, (uint32_t)count);
      step = (int32_t)appProgressNext((uint32_t)i, (uint32_t)count);
    }
  }
  vxmTwinIndexFree(&index);
  // Shrinking cannot lose data; should it fail, the larger block serves as well.
  VxmTri* shrunk = static_cast<VxmTri*>(vxmMemRealloc(work, (size_t)written * sizeof(VxmTri)));
  if (shrunk) work = shrunk;
  vxmMemFree(model->tris);
  model->tris = work;
  model->triCount = written;
  appProgress(0, 1);
  appStatusText(nullptr);
}

// --- Texture table -----------------------------------------------------------------------------

bool vxmModelAddTexture(VxmModel* model, const char* path) {
  if (!model || !path) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  if (model->textureCount >= VXM_MAX_TEXTURES) {
    APP_TRACE("Attemp to exceed %d model textures", (int)VXM_MAX_TEXTURES);
    return false;
  }
  VxmBitmap* bitmap = vxmBitmapLoadBMP(path);
  if (!bitmap) {
    APP_TRACE("Failed to load bitmap: %s", path);
    return false;
  }
  VxmTexture* slot = &model->textures[model->textureCount];
  slot->bitmap = bitmap;
  copyText(slot->path, path, sizeof slot->path);
  slotSetName(slot);
  ++model->textureCount;
  return true;
}

bool vxmModelRemoveTexture(VxmModel* model, int32_t slot) {
  if (!model || slot < 0 || slot >= model->textureCount) {
    APP_TRACE(model ? "Invalid model image ID" : "Invalid Parameters");
    return false;
  }
  VxmBitmap* removed = vxmModelDetachTexture(model, slot);
  if (removed) vxmBitmapFree(removed);
  return true;
}

VxmBitmap* vxmModelDetachTexture(VxmModel* model, int32_t slot) {
  if (!model) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  if (slot < 0 || slot >= model->textureCount) {
    APP_TRACE("Invalid model image ID");
    return nullptr;
  }
  VxmBitmap* removed = model->textures[slot].bitmap;
  for (int32_t i = 0; removed && i < model->triCount; ++i)
    if (model->tris[i].texture == removed) {
      model->tris[i].texture = nullptr;
      model->tris[i].colour = VXM_DEFAULT_COLOUR;
    }
  int32_t last = model->textureCount - 1;
  if (slot != last) {
    VxmTexture* hole = &model->textures[slot];
    std::memcpy(hole->path, model->textures[last].path, sizeof hole->path);
    slotSetName(hole);
    hole->bitmap = model->textures[last].bitmap;
  }
  slotClear(&model->textures[last]);
  model->textureCount = last;
  return removed;
}

// A slot that fails to reload is left without a bitmap and its facets become plain grey ones,
// so that nothing refers to the freed bitmap.
void vxmModelReloadTextures(VxmModel* model) {
  VxmBitmap* replaced[VXM_MAX_TEXTURES] = {};
  vxmModelReloadTexturesKeep(model, replaced);
  for (VxmBitmap* old : replaced)
    if (old) vxmBitmapFree(old);
}

void vxmModelReloadTexturesKeep(VxmModel* model, VxmBitmap** replaced) {
  if (!model || !replaced) return;
  for (int32_t s = 0; s < VXM_MAX_TEXTURES; ++s) replaced[s] = nullptr;
  for (int32_t s = 0; s < model->textureCount && s < VXM_MAX_TEXTURES; ++s) {
    VxmTexture* slot = &model->textures[s];
    VxmBitmap* old = slot->bitmap;
    VxmBitmap* fresh = loadSlotBitmap(model->fileName, slot->path);
    if (!fresh) {
      char text[APP_TRACE_MESSAGE];
      std::snprintf(text, sizeof text, "Failed to load texture\n'%s'.", slot->path);
      appWarning(text);
    }
    for (int32_t i = 0; old && i < model->triCount; ++i) {
      VxmTri* tri = &model->tris[i];
      if (tri->texture != old) continue;
      tri->texture = fresh;
      if (!fresh) tri->colour = VXM_DEFAULT_COLOUR;
    }
    replaced[s] = old;
    slot->bitmap = fresh;
  }
}

void vxmModelValidateTextureCoords(VxmModel* model) {
  if (!model || !model->tris) return;
  untextureInvalidCoords(model);
}

// --- VXM files ---------------------------------------------------------------------------------

VxmModel* vxmModelLoad(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  vxmImportClearReason();
  const char* dot = std::strrchr(fileName, '.');
  if (dot && equalsIgnoringCase(dot, ".3DS")) return vxmModelLoad3DS(fileName);
  if (dot && equalsIgnoringCase(dot, ".STL")) return vxmModelLoadSTL(fileName);
  if (dot && equalsIgnoringCase(dot, ".OBJ")) return vxmModelLoadOBJ(fileName);
  if (dot && (equalsIgnoringCase(dot, ".GLTF") || equalsIgnoringCase(dot, ".GLB"))) return vxmModelLoadGLTF(fileName);
  return vxmModelLoadVXM(fileName);
}

namespace {

// Bytes in the file, or -1 when it cannot be measured.
long long fileSize(const char* path) {
  FILE* file = appFileOpen(path, "rb");
  if (!file) return -1;
  long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
  std::fclose(file);
  return size;
}

bool skipLine(FILE* file) {
  char line[kLineBuffer];
  return std::fgets(line, sizeof line, file) != nullptr;
}

bool readVector(FILE* file, VxmVector* v) {
  return std::fscanf(file, "%f %f %f\n", &v->x, &v->y, &v->z) == 3 && std::isfinite(v->x) &&
         std::isfinite(v->y) && std::isfinite(v->z);
}

// The shortest line of each table, numbers of one digit each with one blank or the line break
// after them: a vertex or normal "0 0 0\n" takes 6 bytes, a facet "0 0 0 0 0 0\n" 12 and a
// textured facet "0 0 0 0 0 0 0 0\n" 16.
constexpr long long kMinVertexBytes = 6, kMinFacetBytes = 12, kMinTexturedBytes = 16;

enum NormalMode { NORMALS_NONE, NORMALS_EXPLICIT, NORMALS_AVERAGE };

// How a step of the reader ended: done, stopped by a line that does not read (the reader traces
// "Failed to read from file"), or stopped with the reason already given.
enum VxmStep { VXM_STEP_DONE, VXM_STEP_UNREADABLE, VXM_STEP_STOPPED };

// What the lines above the texture list say.
struct VxmHeader {
  int vertexCount, triCount, textureCount, texturedCount, highlightValue;
  NormalMode normals;
  bool highlight;
};

// The notice line, the version, the counts, the normals and the highlight.
VxmStep readVxmHeader(FILE* file, const char* path, VxmHeader* header) {
  if (!skipLine(file)) return VXM_STEP_UNREADABLE;  // the notice line
  char version[kLineBuffer];
  if (std::fscanf(file, "Version: %255s\n", version) != 1) return VXM_STEP_UNREADABLE;
  if (std::strcmp(version, "2.10") != 0) {
    APP_TRACE("vxmModelLoadVXM() : Unknown VXM file version: %s", path);
    return VXM_STEP_STOPPED;
  }
  char normalsWord[kLineBuffer], highlightWord[kLineBuffer];
  if (std::fscanf(file, "Number of vertices: %d\n", &header->vertexCount) != 1 ||
      std::fscanf(file, "Number of facets: %d\n", &header->triCount) != 1 ||
      std::fscanf(file, "Number of textures: %d\n", &header->textureCount) != 1 ||
      std::fscanf(file, "Number of texture triangles: %d\n", &header->texturedCount) != 1 ||
      std::fscanf(file, "Vertex normals: %255s\n", normalsWord) != 1 ||
      std::fscanf(file, "Highlight: %255s\n", highlightWord) != 1 ||
      std::fscanf(file, "Highlight Value: %d\n", &header->highlightValue) != 1)
    return VXM_STEP_UNREADABLE;
  if (equalsIgnoringCase(normalsWord, "yes"))
    header->normals = NORMALS_EXPLICIT;
  else if (equalsIgnoringCase(normalsWord, "average"))
    header->normals = NORMALS_AVERAGE;
  else
    header->normals = NORMALS_NONE;
  header->highlight = equalsIgnoringCase(highlightWord, "yes");
  return VXM_STEP_DONE;
}

long long atLeastZero(int count) { return count > 0 ? count : 0; }

// Counts the reader can take: no more textures than slots, and no more lines than a file of
// `size` bytes can hold (-1: size unknown), so that a lying header allocates nothing large.
bool vxmCountsFit(const VxmHeader* header, long long size) {
  if (header->textureCount > VXM_MAX_TEXTURES) return false;
  if (size < 0) return true;
  const long long vertexLines = atLeastZero(header->vertexCount) * (header->normals == NORMALS_EXPLICIT ? 2 : 1);
  const long long least = vertexLines * kMinVertexBytes + atLeastZero(header->triCount) * kMinFacetBytes +
                          atLeastZero(header->texturedCount) * kMinTexturedBytes;
  return least <= size;
}

// The texture list: one path a line, each loaded into the next slot. A texture that does not
// load may be dropped when the user agrees (its slot goes later); otherwise the model is refused.
VxmStep readVxmTextures(FILE* file, const char* modelPath, VxmModel* model, int textureCount) {
  skipLine(file);  // "Texture List:"
  for (int i = 0; i < textureCount; ++i) {
    VxmTexture* slot = &model->textures[model->textureCount];
    if (!std::fgets(slot->path, kLineBuffer, file)) return VXM_STEP_UNREADABLE;
    size_t length = std::strlen(slot->path);
    if (length > 0 && slot->path[length - 1] == '\n') slot->path[length - 1] = 0;
    slot->bitmap = loadSlotBitmap(modelPath, slot->path);
    if (!slot->bitmap) {
      char question[APP_TRACE_MESSAGE];
      std::snprintf(question, sizeof question,
                    "Failed to load texture '%s' while opening model.\n"
                    "Do you wish to remove this texture from the model?",
                    slot->path);
      if (!appAskYesNo(question)) return VXM_STEP_STOPPED;
    }
    slotSetName(slot);
    ++model->textureCount;
  }
  return VXM_STEP_DONE;
}

// The vertex list, and the vertex normal list when the file says "Yes".
VxmStep readVxmVertices(FILE* file, VxmModel* model, NormalMode normals) {
  skipLine(file);  // "Vertex list:"
  for (int32_t i = 0; i < model->vertexCount; ++i)
    if (!readVector(file, &model->vertices[i])) return VXM_STEP_UNREADABLE;
  if (normals != NORMALS_EXPLICIT) return VXM_STEP_DONE;
  skipLine(file);  // the normals' heading
  for (int32_t i = 0; i < model->vertexCount; ++i)
    if (!readVector(file, &model->vertexNormals[i])) return VXM_STEP_UNREADABLE;
  return VXM_STEP_DONE;
}

// The facet list: three corners, each naming a vertex of the table, and red, green, blue.
VxmStep readVxmFacets(FILE* file, VxmModel* model) {
  skipLine(file);  // "Tri list (v0 v1 v2 R G B):"
  for (int32_t i = 0; i < model->triCount; ++i) {
    VxmTri* tri = &model->tris[i];
    int red, green, blue;
    if (std::fscanf(file, "%d %d %d %d %d %d\n", &tri->v[0], &tri->v[1], &tri->v[2], &red, &green, &blue) != 6 ||
        !vxmModelTriCornersValid(model, tri))
      return VXM_STEP_UNREADABLE;
    tri->colour = ((uint32_t)(red & 0xFF) << 16) | ((uint32_t)(green & 0xFF) << 8) | (uint32_t)(blue & 0xFF);
  }
  return VXM_STEP_DONE;
}

// The textured facets: facet, slot and three u, v pairs in texels. A line naming no slot is
// passed over; one naming no facet stops the reader.
VxmStep readVxmTexturedFacets(FILE* file, VxmModel* model, int texturedCount) {
  skipLine(file);  // "Textured Tri List (...):"
  for (int i = 0; i < texturedCount; ++i) {
    int facet, slot;
    float uv[6];
    if (std::fscanf(file, "%d %d %f %f %f %f %f %f\n", &facet, &slot, &uv[0], &uv[1], &uv[2], &uv[3], &uv[4],
                    &uv[5]) != 8)
      return VXM_STEP_UNREADABLE;
    for (float value : uv)
      if (!std::isfinite(value)) return VXM_STEP_UNREADABLE;
    if (slot < 0 || slot >= model->textureCount) {
      APP_TRACE("Invlid texture ID while loading VML");
      continue;
    }
    if (facet < 0 || facet >= model->triCount) return VXM_STEP_UNREADABLE;
    VxmTri* tri = &model->tris[facet];
    tri->texture = model->textures[slot].bitmap;
    for (int k = 0; k < 6; ++k) tri->uv[k] = texelsToFixed(uv[k]);
  }
  return VXM_STEP_DONE;
}

// Slots whose bitmap could not be loaded (and that the user chose to drop) go; the last slot
// fills each hole.
void dropUnloadedSlots(VxmModel* model) {
  for (int32_t s = 0; s < model->textureCount;) {
    if (model->textures[s].bitmap) {
      ++s;
      continue;
    }
    int32_t last = model->textureCount - 1;
    if (s != last) {
      std::memcpy(model->textures[s].path, model->textures[last].path, sizeof model->textures[s].path);
      slotSetName(&model->textures[s]);
      model->textures[s].bitmap = model->textures[last].bitmap;
    }
    slotClear(&model->textures[last]);
    model->textureCount = last;
  }
}

// What follows the tables: the name, the surface and vertex normals, the slots that stay and
// the texture coordinates that fit their bitmaps.
bool finishVxm(VxmModel* model, const char* path, NormalMode normals) {
  copyText(model->fileName, path, sizeof model->fileName);
  if (!vxmModelCalcSurfaceNormals(model)) {
    APP_TRACE("Failed to calculate surface normals");
    return false;
  }
  if (normals == NORMALS_EXPLICIT) {
    for (int32_t i = 0; i < model->triCount; ++i)
      for (int k = 0; k < 3; ++k) model->tris[i].n[k] = model->tris[i].v[k];
  } else if (normals == NORMALS_AVERAGE && !vxmModelCalcAverageNormals(model)) {
    APP_TRACE("Failed to calculate average vertex normals");
    return false;
  }
  dropUnloadedSlots(model);
  // The fills read texels without checks: coordinates outside their bitmap never reach them.
  untextureInvalidCoords(model);
  return true;
}

// Reads the open file of `size` bytes; returns the model or null with everything it made released.
VxmModel* readVxm(FILE* file, const char* path, long long size) {
  VxmHeader header = {};
  VxmStep step = readVxmHeader(file, path, &header);
  if (step == VXM_STEP_DONE && !vxmCountsFit(&header, size)) step = VXM_STEP_UNREADABLE;
  if (step != VXM_STEP_DONE) {
    if (step == VXM_STEP_UNREADABLE) APP_TRACE("Failed to read from file: %s", path);
    return nullptr;
  }
  VxmModel* model =
      vxmModelCreate(header.vertexCount, header.normals == NORMALS_NONE ? 0 : header.vertexCount, header.triCount);
  if (!model) {
    APP_TRACE("Failed to create model");
    return nullptr;
  }
  model->highlight = header.highlight;
  model->highlightValue = header.highlightValue;

  step = readVxmTextures(file, path, model, header.textureCount);
  if (step == VXM_STEP_DONE) step = readVxmVertices(file, model, header.normals);
  if (step == VXM_STEP_DONE) step = readVxmFacets(file, model);
  if (step == VXM_STEP_DONE) step = readVxmTexturedFacets(file, model, header.texturedCount);
  if (step == VXM_STEP_UNREADABLE) APP_TRACE("Failed to read from file: %s", path);
  if (step != VXM_STEP_DONE || !finishVxm(model, path, header.normals)) {
    vxmModelFree(model);
    return nullptr;
  }
  return model;
}

}  // namespace

VxmModel* vxmModelLoadVXM(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  char path[APP_PATH_LENGTH];
  if (!appLocateFile(fileName, path)) {
    APP_TRACE("Failed to validate file: %s", fileName);
    return nullptr;
  }
  long long size = fileSize(path);
  FILE* file = appFileOpen(path, "r");
  if (!file) {
    APP_TRACE("Failed to open file: %s", path);
    return nullptr;
  }
  VxmModel* model = readVxm(file, path, size);
  std::fclose(file);
  return model;
}

bool vxmModelSaveVXM(VxmModel* model, const char* fileName) {
  if (!model || !fileName) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  // Imported PNG and JPEG pictures go beside the model as BMP files, which VXM files name.
  if (!vxmImportWritePictures(model, fileName)) return false;
  // Written whole or not at all: a failed save leaves the old file as it was.
  AppSave save;
  AppSave* file = &save;
  if (!appSaveBegin(file, fileName, true)) return false;
  int textured = 0;
  for (int32_t i = 0; i < model->triCount; ++i)
    if (model->tris[i].texture) ++textured;
  const bool explicitNormals = !model->averageNormals && model->vertexNormals;
  appSavePrintf(file, "VOXIM Model Format %s\n", kVxmNotice);
  appSavePrintf(file, "Version: 2.10\n");
  appSavePrintf(file, "Number of vertices: %d\n", (int)model->vertexCount);
  appSavePrintf(file, "Number of facets: %d\n", (int)model->triCount);
  appSavePrintf(file, "Number of textures: %d\n", (int)model->textureCount);
  appSavePrintf(file, "Number of texture triangles: %d\n", textured);
  appSavePrintf(file, "Vertex normals: %s\n", model->averageNormals ? "Average" : explicitNormals ? "Yes" : "No");
  appSavePrintf(file, "Highlight: %s\n", model->highlight ? "Yes" : "No");
  appSavePrintf(file, "Highlight Value: %d\n", (int)model->highlightValue);
  appSavePrintf(file, "Texture List:\n");
  // Each slot's path in the form that travels with the model; the slots take it once saved.
  char stored[VXM_MAX_TEXTURES][APP_PATH_LENGTH];
  const int32_t slots = model->textureCount < VXM_MAX_TEXTURES ? model->textureCount : VXM_MAX_TEXTURES;
  for (int32_t s = 0; s < slots; ++s) {
    storedTexturePath(model, model->textures[s].path, fileName, stored[s]);
    appSavePrintf(file, "%s\n", stored[s]);
  }
  appSavePrintf(file, "Vertex list:\n");
  for (int32_t i = 0; i < model->vertexCount; ++i) {
    const VxmVector& v = model->vertices[i];
    appSavePrintf(file, "%f %f %f\n", v.x, v.y, v.z);
  }
  if (explicitNormals) {
    // Recorded as "Yes": the normals follow, so that the file reads back.
    appSavePrintf(file, "Vertex normal list:\n");
    for (int32_t i = 0; i < model->vertexCount; ++i) {
      VxmVector n = i < model->vertexNormalCount ? model->vertexNormals[i] : VxmVector{0.0f, 0.0f, 0.0f};
      appSavePrintf(file, "%f %f %f\n", n.x, n.y, n.z);
    }
  }
  appSavePrintf(file, "Tri list (v0 v1 v2 R G B):\n");
  for (int32_t i = 0; i < model->triCount; ++i) {
    const VxmTri& t = model->tris[i];
    appSavePrintf(file, "%d %d %d %d %d %d\n", (int)t.v[0], (int)t.v[1], (int)t.v[2], (int)((t.colour >> 16) & 0xFF),
                 (int)((t.colour >> 8) & 0xFF), (int)(t.colour & 0xFF));
  }
  appSavePrintf(file, "Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\n");
  for (int32_t i = 0; i < model->triCount; ++i) {
    const VxmTri& t = model->tris[i];
    if (!t.texture) continue;
    int slot = -1;
    for (int32_t s = 0; s < model->textureCount && s < VXM_MAX_TEXTURES && slot < 0; ++s)
      if (model->textures[s].bitmap == t.texture) slot = s;
    if (slot < 0) {
      APP_TRACE("Could not find texture index");
      slot = 0;
    }
    const double toTexels = 0.000244140625;
    appSavePrintf(file, "%d %d %f %f %f %f %f %f\n", (int)i, slot, t.uv[0] * toTexels, t.uv[1] * toTexels,
                 t.uv[2] * toTexels, t.uv[3] * toTexels, t.uv[4] * toTexels, t.uv[5] * toTexels);
  }
  if (!appSaveFinish(file)) {
    APP_TRACE("Failed to write to file: %s", fileName);
    return false;
  }
  for (int32_t s = 0; s < slots; ++s) {
    copyText(model->textures[s].path, stored[s], sizeof model->textures[s].path);
    slotSetName(&model->textures[s]);
  }
  if (fileName != model->fileName) copyText(model->fileName, fileName, sizeof model->fileName);
  return true;
}
