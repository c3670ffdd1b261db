// vxmModel.h: the in-memory model (module Model), its VXM files, and the 3DS reader (3dsrdr).
#pragma once

#include <cstdint>

#include "vxmBitmap.h"
#include "vxmMath.h"

enum {
  VXM_MAX_TEXTURES = 12,
  VXM_PATH_LENGTH = 260,
  VXM_DEFAULT_HIGHLIGHT_VALUE = 90,
  VXM_UV_SHIFT = 12,
};
constexpr uint32_t VXM_DEFAULT_COLOUR = 0x7F7F7F;

// 68 bytes in the 32-bit programs and 72 in 64-bit ones: the colour before the pointer leaves
// no padding in either.
struct VxmTri {
  int32_t v[3];          // vertex indices, winding order
  VxmVector normal;      // unit surface normal, computed
  int32_t n[3];          // vertex-normal indices, -1 for none
  uint32_t colour;       // 0x00RRGGBB
  VxmBitmap* texture;    // the bitmap of one of the model's slots, or null
  int32_t uv[6];         // u0 v0 u1 v1 u2 v2 in texels * 4096
};
static_assert(sizeof(VxmTri) == 64 + sizeof(void*), "VxmTri has no padding");

struct VxmTexture {
  VxmBitmap* bitmap;
  char path[VXM_PATH_LENGTH];
  char* name;            // points into path: the part after its last backslash
};

struct VxmModel {
  char fileName[VXM_PATH_LENGTH];
  VxmTexture textures[VXM_MAX_TEXTURES];
  int32_t textureCount;
  VxmVector* vertices;
  int32_t vertexCount;
  VxmVector* vertexNormals;
  int32_t vertexNormalCount;
  bool averageNormals;
  VxmTri* tris;
  int32_t triCount;
  VxmMatrix matrix;
  bool highlight;
  int32_t highlightValue;
};

// True when the facet's three corners index the model's vertex table: the one check before any
// facet's vertices are read.
inline bool vxmModelTriCornersValid(const VxmModel* model, const VxmTri* tri) {
  for (int k = 0; k < 3; ++k)
    if (tri->v[k] < 0 || tri->v[k] >= model->vertexCount) return false;
  return true;
}

VxmModel* vxmModelCreate(int32_t vertexCount, int32_t vertexNormalCount, int32_t triCount);
bool vxmModelInit(VxmModel* model, int32_t vertexCount, int32_t vertexNormalCount, int32_t triCount);
void vxmModelFree(VxmModel* model);
bool vxmModelGetExtents(const VxmModel* model, VxmVector* min, VxmVector* max);
bool vxmModelGetCentre(const VxmModel* model, VxmVector* centre);
bool vxmModelGetRadius(const VxmModel* model, const VxmVector* point, float* radius);
bool vxmModelCalcSurfaceNormals(VxmModel* model);
// One facet's surface normal, as vxmModelCalcSurfaceNormals gives it (zero when a corner is
// outside the vertex table).
void vxmModelCalcTriNormal(const VxmModel* model, VxmTri* tri);
bool vxmModelCalcAverageNormals(VxmModel* model);
VxmModel* vxmModelCreateLathe(const VxmVector* profile, int32_t profileCount,
                              const VxmVector* profileNormals, int32_t segments);
void vxmModelMakeDoubleSided(VxmModel* model);
bool vxmModelAddTexture(VxmModel* model, const char* path);
bool vxmModelRemoveTexture(VxmModel* model, int32_t slot);
// As vxmModelRemoveTexture, but the slot's bitmap is given to the caller instead of freed (null
// for a slot without one or on failure); the editor keeps it for Undo.
VxmBitmap* vxmModelDetachTexture(VxmModel* model, int32_t slot);
void vxmModelReloadTextures(VxmModel* model);
// As vxmModelReloadTextures, but each replaced bitmap goes to replaced[slot] instead of being
// freed (null where a slot had none); `replaced` holds VXM_MAX_TEXTURES entries.
void vxmModelReloadTexturesKeep(VxmModel* model, VxmBitmap** replaced);
void vxmModelValidateTextureCoords(VxmModel* model);

// Files: dispatch by extension, the VXM reader and writer, the 3DS reader.
VxmModel* vxmModelLoad(const char* fileName);
VxmModel* vxmModelLoadVXM(const char* fileName);
bool vxmModelSaveVXM(VxmModel* model, const char* fileName);
VxmModel* vxmModelLoad3DS(const char* fileName);
