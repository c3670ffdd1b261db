// ImportInternal.h: what the STL, OBJ and glTF readers share (ImportCommon.cpp): the model being
// built with its limits, corner welding, the axis mappings, colours, refusals with their reason,
// and files read whole, found beside the model file only.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "app.h"
#include "vxmImport.h"

// --- Refusals --------------------------------------------------------------------------------------
// A refused file: one trace line with the reader's source line, and the same words as the
// reason the programs show (vxmImportReason).
void importRefuse(const char* sourcePath, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
#define IMPORT_REFUSE(...) importRefuse(__FILE__, __LINE__, __VA_ARGS__)
// An allocation failed: "Out of Memory!" traced, warned and given as the reason.
void importOutOfMemory(const char* sourcePath, int line);
#define IMPORT_OUT_OF_MEMORY() importOutOfMemory(__FILE__, __LINE__)

// --- The model being built -------------------------------------------------------------------------
// Twenty bytes: a million of them are a table the allocator keeps for the next import. A
// facet's texture coordinates, when it has a picture, are the build's `uvs` of the same index.
struct ImportTri {
  int32_t v[3];     // stored winding (see importAddTri)
  uint32_t colour;  // 0x00RRGGBB
  int16_t picture;  // index into the build's pictures, or -1
  bool oneSided;    // kept without a reversed twin
};

enum {
  IMPORT_MAX_PICTURES = 64,  // distinct pictures of one model; those beyond 12 give colours
  IMPORT_TASK_FACETS = 1 << 16,  // from this many facets a second thread shares the finishing
  IMPORT_PAGE = 4096,            // bytes of a page of memory, on every system the programs run on
};

// Welding: open addressing over the vertices by a hash of their position. A slot keeps the
// hash, so that a probe reads a vertex only when the hashes agree.
struct ImportWeldSlot {
  uint32_t hash;
  int32_t index;  // -1 for an empty slot
};


// A texture picture of the model being built.
struct ImportPicture {
  char key[APP_PATH_LENGTH];   // what the reader finds it by: its file's path or "#<image>"
  char path[VXM_PATH_LENGTH];  // what the model's texture slot records
  VxmBitmap* bitmap;           // null beyond the model's texture slots, and once the model owns it
  int32_t slot;                // the model's texture slot once installed, or -1
  uint32_t average;            // the picture's average colour, for facets that cannot show it
};

struct ImportBuild {
  VxmVector* vertices;
  int32_t vertexCount, vertexCapacity;
  ImportTri* tris;
  int32_t triCount, triCapacity;
  // Six for each facet, u0 v0 u1 v1 u2 v2: u to the right, v up, 1 = the picture's width or
  // height. Null until room for a facet with a picture is reserved; then as long as the facets.
  float* uvs;
  int32_t uvCapacity;
  int64_t facets;        // facets once double-sided: two for each two-sided triangle, one otherwise
  ImportWeldSlot* weldSlots;  // null until the first weld
  uint32_t weldMask;          // slots - 1
  int64_t weldExpected;       // vertices the reader expects, for the slots' first size
  ImportPicture* pictures;
  int32_t pictureCount;
  // The model's facet table, made while the file is still read by a reader that knows how many
  // facets it will make at most; a task touches its pages meanwhile, which writing the facets
  // would otherwise wait for one by one.
  VxmTri* early;
  int64_t earlyCount;
  AppTask touching;
};

void importBegin(ImportBuild* build);
void importEnd(ImportBuild* build);  // frees what the build holds (not a finished model)

// A reader that knows it will make at most `facets` facets (two for each two-sided triangle) says
// so before it reads them; for a large model the facet table is then made at once, beside the
// reading. Nothing is reported when that table cannot be had: it is made later as for any reader.
void importExpectFacets(ImportBuild* build, int64_t facets);
// Room for `more` vertices or triangles, refused with the limit's message when the model would
// pass it; false (reported) on refusal or failed allocation.
bool importReserveVertices(ImportBuild* build, int64_t more);
// Facets that may have pictures need `textured` room: texture coordinates beside them.
bool importReserveTris(ImportBuild* build, int64_t more, bool oneSided, bool textured);
// Both assume the room was reserved.
int32_t importAddVertex(ImportBuild* build, const VxmVector* position);
// Corners a, b, c in the file's own winding. Every axis mapping below is a mirror, which turns
// a facet's front to the back, so the facet is stored as (a, c, b): its outside stays in front.
void importAddTri(ImportBuild* build, int32_t a, int32_t b, int32_t c, uint32_t colour, bool oneSided);
// The same with a picture (-1 for none) and the corners' coordinates in it, u0 v0 u1 v1 u2 v2;
// the room was reserved as textured.
void importAddTexturedTri(ImportBuild* build, int32_t a, int32_t b, int32_t c, uint32_t colour, bool oneSided,
                          int32_t picture, const float uv[6]);
// The index of the vertex at exactly this position (-0 counts as 0), added when new; -1
// (reported) when the limit refuses it or memory runs out.
int32_t importWeld(ImportBuild* build, const VxmVector* position);
// The vertices a reader expects to weld (a binary STL file's triangles tell it), so that the
// slots are made that large at once rather than grown step by step.
void importWeldExpect(ImportBuild* build, int64_t vertices);
// importWeld for `count` positions in turn, their indices in `indices`; false (reported) as
// importWeld fails, the indices of the positions before the failing one given.
bool importWeldMany(ImportBuild* build, const VxmVector* positions, int32_t count, int32_t* indices);

// --- Pictures (ImportPictures.cpp) ------------------------------------------------------------------
// The picture kept under `key`, or -1.
int32_t importFindPicture(const ImportBuild* build, const char* key);
// Decodes a picture and keeps it under `key`, to become a texture whose slot records `path`; its
// index, or -1 (traced) when it cannot be decoded or the model has IMPORT_MAX_PICTURES already:
// the import goes on and its facets keep their colour.
int32_t importAddPicture(ImportBuild* build, const char* key, const char* path, const uint8_t* bytes, int64_t size);
// Puts a facet's coordinates (in pictures, as importAddTexturedTri takes them) inside a picture of
// width x height texels as the model keeps them (texels x 4096, every corner inside): when all
// lie in one whole tile they are moved by whole tiles into the picture and those on the far edge
// are clamped to its last texel. False when the facet spans more than one tile.
bool importFitCoordinates(const float uv[6], int32_t width, int32_t height, int32_t fitted[6]);
// Moves the pictures that have slots into the model's texture table (the build no longer owns
// them).
void importInstallPictures(ImportBuild* build, VxmModel* model);
// Gives a model facet made from the build's facet `from` its texture and coordinates, or, when it cannot show its
// picture (no slot, or coordinates beyond one tile), the picture's average colour.
void importTextureTri(const ImportBuild* build, const VxmModel* model, VxmTri* to, int32_t from);

// The finished model: vertices as built, two-sided triangles doubled by vxmModelMakeDoubleSided,
// one-sided ones after them, normals computed, fileName "Untitled.vxm". Null (reported) when the
// build holds no triangle or memory runs out. The build is left to importEnd either way.
VxmModel* importFinish(ImportBuild* build);

// --- Axes and colours ---------------------------------------------------------------------------------
// The model's axes: x to the right, y up, z away from the viewer in the first view.
// Y-up files (OBJ, glTF: +z towards the viewer): (x, y, z) -> (x, y, -z).
// Z-up files (STL, as 3DS: -y towards the viewer): (x, y, z) -> (x, z, y).
inline VxmVector importFromYUp(double x, double y, double z) { return VxmVector{(float)x, (float)y, (float)-z}; }
inline VxmVector importFromZUp(double x, double y, double z) { return VxmVector{(float)x, (float)z, (float)y}; }
inline bool importFinite(const VxmVector* v) { return std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z); }
// strtod for the numbers of text model files: the same value, and the same end of what it took.
// A plain decimal of at most 19 digits whose exponent, with the digits after the point, lies
// within 22 of zero is worked out here: its digits and the power of ten are exact doubles, so one
// division or product gives the correctly rounded value that strtod gives. Others go to strtod.
double importNumber(const char* text, char** end);
// A display colour from components 0..1 (clamped), each rounded to 0..255.
uint32_t importColour(double red, double green, double blue);
// A linear component (glTF) as the display's sRGB value, both 0..1.
double importLinearToSrgb(double linear);

// --- Files ----------------------------------------------------------------------------------------------
struct ImportBytes {
  uint8_t* data;  // vxmMemAlloc'd, one zero byte beyond `size` so text readers may stop on it
  int64_t size;
};
// Finds a model file as every reader does (appLocateFile): false with "Failed to validate file".
bool importLocate(const char* fileName, char* path);
// Reads a whole file of at most VXM_IMPORT_MAX_FILE bytes; false (reported) otherwise.
bool importReadFile(const char* path, ImportBytes* bytes);
// The same in two steps, for a reader that may read a file in parts: the file opened and
// measured, then (should the reader want it whole) read from its start and closed either way.
bool importOpenFile(const char* path, FILE** file, int64_t* size);
bool importReadOpenFile(FILE* file, const char* path, int64_t size, ImportBytes* bytes);
void importFreeBytes(ImportBytes* bytes);
// The path of a file a model names (`name`, as written in the model) in the model's own folder
// or below it: refused when the name is absolute, has a drive or a ".." part, or the joined
// path does not fit a path buffer.
bool importBesidePath(const char* modelPath, const char* name, char* result);
