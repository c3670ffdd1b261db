// ObjRead.cpp: the OBJ reader: positions and faces of every object and group merged into one
// model, polygons fanned into triangles, each face coloured by its MTL material's Kd.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ImportInternal.h"
#include "app.h"
#include "vxmMem.h"

enum {
  OBJ_NAME = 256,  // bytes of a material name or picture file name kept, terminator included
  OBJ_UNRESOLVED = -2,
};

struct ObjMaterial {
  char name[OBJ_NAME];
  uint32_t colour;
  char map[OBJ_NAME];  // map_Kd: the picture's file name as written, or ""
  int32_t picture;     // the build's picture once looked for (-1: none), OBJ_UNRESOLVED before
};

// The materials of the MTL file, found by name through open addressing.
struct ObjMaterials {
  ObjMaterial* entries;
  int32_t count, capacity;
  int32_t* slots;  // -1 empty
  uint32_t mask;
};

struct ObjReader {
  ImportBuild* build;
  const char* path;  // of the OBJ file, for the MTL beside it
  ObjMaterials materials;
  uint32_t colour;  // of the faces that follow
  int32_t picture;  // of the faces that follow, or -1
  float* texCoords;  // u, v of each "vt"
  int32_t texCoordCount, texCoordCapacity;
  int32_t normals;
  int line;
};

// --- Lines and words ------------------------------------------------------------------------------

static bool objSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

static char* objSkipSpace(char* p) {
  while (objSpace(*p)) ++p;
  return p;
}

// Cuts the text at the line's end (and at a comment) and returns the start of the next line.
static char* objCutLine(char* line, char* end) {
  char* next = line;
  while (next < end && *next != '\n') ++next;
  if (next < end) *next++ = 0;
  char* comment = std::strchr(line, '#');
  if (comment) *comment = 0;
  return next;
}

// The rest of a line without the spaces around it (material and file names may hold spaces).
static char* objRest(char* p) {
  p = objSkipSpace(p);
  size_t length = std::strlen(p);
  while (length > 0 && objSpace(p[length - 1])) p[--length] = 0;
  return p;
}

static bool objKeyword(char** p, const char* keyword) {
  size_t length = std::strlen(keyword);
  if (std::strncmp(*p, keyword, length) != 0 || !(objSpace((*p)[length]) || (*p)[length] == 0)) return false;
  *p += length;
  return true;
}

// A number as exporters write them: the longest prefix strtod takes, the rest of the word ignored
// (some write "3.1+e2").
static bool objNumber(char** p, double* value) {
  char* start = objSkipSpace(*p);
  char* end = start;
  *value = importNumber(start, &end);
  if (end == start) return false;
  while (*end && !objSpace(*end)) ++end;
  *p = end;
  return true;
}

// --- Materials ------------------------------------------------------------------------------------

static uint32_t objNameHash(const char* name) {
  uint32_t h = 2166136261u;
  for (; *name; ++name) h = (h ^ (uint8_t)*name) * 16777619u;
  return h;
}

static void objFreeMaterials(ObjMaterials* materials) {
  vxmMemFree(materials->entries);
  vxmMemFree(materials->slots);
  std::memset(materials, 0, sizeof *materials);
}

static ObjMaterial* objFindMaterial(const ObjMaterials* materials, const char* name) {
  if (!materials->slots) return nullptr;
  for (uint32_t at = objNameHash(name) & materials->mask;; at = (at + 1) & materials->mask) {
    int32_t index = materials->slots[at];
    if (index < 0) return nullptr;
    if (std::strcmp(materials->entries[index].name, name) == 0) return &materials->entries[index];
  }
}

static bool objRehash(ObjMaterials* materials, int32_t capacity) {
  int32_t entryBytes, slotBytes;
  if (!vxmMemMulSize(capacity, sizeof(ObjMaterial), &entryBytes) ||
      !vxmMemMulSize(2 * (int64_t)capacity, sizeof(int32_t), &slotBytes)) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  ObjMaterial* entries = (ObjMaterial*)vxmMemRealloc(materials->entries, (size_t)entryBytes);
  if (!entries) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  materials->entries = entries;
  int32_t* slots = (int32_t*)vxmMemAlloc((size_t)slotBytes);
  if (!slots) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  std::memset(slots, 0xFF, (size_t)slotBytes);
  uint32_t mask = (uint32_t)(2 * capacity - 1);
  for (int32_t i = 0; i < materials->count; ++i) {
    uint32_t at = objNameHash(entries[i].name) & mask;
    while (slots[at] >= 0) at = (at + 1) & mask;
    slots[at] = i;
  }
  vxmMemFree(materials->slots);
  materials->slots = slots;
  materials->mask = mask;
  materials->capacity = capacity;
  return true;
}

// A new material of that name (the first of a name counts; a later one of the same name is
// filled but not found).
static ObjMaterial* objAddMaterial(ObjMaterials* materials, const char* name) {
  if (materials->count == materials->capacity &&
      !objRehash(materials, materials->capacity ? materials->capacity * 2 : 16))
    return nullptr;
  ObjMaterial* material = &materials->entries[materials->count];
  std::strncpy(material->name, name, OBJ_NAME - 1);
  material->name[OBJ_NAME - 1] = 0;
  material->colour = VXM_DEFAULT_COLOUR;
  material->map[0] = 0;
  material->picture = OBJ_UNRESOLVED;
  if (!objFindMaterial(materials, material->name)) {
    uint32_t at = objNameHash(material->name) & materials->mask;
    while (materials->slots[at] >= 0) at = (at + 1) & materials->mask;
    materials->slots[at] = materials->count;
  }
  ++materials->count;
  return material;
}

// Reads "newmtl NAME" and "Kd r g b" of an MTL file; everything else in it is passed over.
static bool objReadMaterials(ObjReader* reader, char* text, char* end) {
  ObjMaterial* current = nullptr;
  int line = 0;
  for (char* p = text; p < end;) {
    char* next = objCutLine(p, end);
    ++line;
    p = objSkipSpace(p);
    if (objKeyword(&p, "newmtl")) {
      current = objAddMaterial(&reader->materials, objRest(p));
      if (!current) return false;
    } else if (objKeyword(&p, "Kd") && current) {
      double rgb[3];
      for (int k = 0; k < 3; ++k)
        if (!objNumber(&p, &rgb[k])) {
          IMPORT_REFUSE("Line %d of the material file: Kd needs three numbers.", line);
          return false;
        }
      current->colour = importColour(rgb[0], rgb[1], rgb[2]);
    } else if (objKeyword(&p, "map_Kd") && current) {
      // Options ("-s 1 1 1 file.png") come first; the file is then the last word.
      char* file = objRest(p);
      if (file[0] == '-' && std::strrchr(file, ' ')) file = std::strrchr(file, ' ') + 1;
      std::snprintf(current->map, sizeof current->map, "%s", file);
    }
    p = next;
  }
  return true;
}

// "mtllib NAME": the material file beside the OBJ file. One that does not exist leaves the faces
// in the default colour; one outside the OBJ's folder refuses the model.
static bool objMaterialLibrary(ObjReader* reader, char* p) {
  char path[APP_PATH_LENGTH];
  if (!importBesidePath(reader->path, objRest(p), path)) return false;
  if (!appFileExists(path)) {
    APP_TRACE("Material file not found: %s", path);
    return true;
  }
  ImportBytes bytes;
  if (!importReadFile(path, &bytes)) return false;
  bool read = objReadMaterials(reader, (char*)bytes.data, (char*)bytes.data + bytes.size);
  importFreeBytes(&bytes);
  return read;
}

// The picture of a material's map_Kd, read the first time a face uses it: -1 when the material
// has none or its file is missing or cannot be decoded (the faces keep the colour); refused
// when the file lies outside the OBJ's folder.
static bool objMaterialPicture(ObjReader* reader, ObjMaterial* material) {
  if (material->picture != OBJ_UNRESOLVED) return true;
  material->picture = -1;
  if (!material->map[0]) return true;
  char path[APP_PATH_LENGTH];
  if (!importBesidePath(reader->path, material->map, path)) return false;
  material->picture = importFindPicture(reader->build, path);
  if (material->picture >= 0) return true;
  if (!appFileExists(path)) {
    APP_TRACE("Picture not found: %s", path);
    return true;
  }
  ImportBytes bytes;
  if (!importReadFile(path, &bytes)) return false;
  material->picture = importAddPicture(reader->build, path, path, bytes.data, bytes.size);
  importFreeBytes(&bytes);
  return true;
}

static bool objUseMaterial(ObjReader* reader, char* p) {
  char name[OBJ_NAME];
  std::strncpy(name, objRest(p), OBJ_NAME - 1);
  name[OBJ_NAME - 1] = 0;
  ObjMaterial* material = objFindMaterial(&reader->materials, name);
  reader->colour = material ? material->colour : VXM_DEFAULT_COLOUR;
  reader->picture = -1;
  if (material && !objMaterialPicture(reader, material)) return false;
  if (material) reader->picture = material->picture;
  return true;
}

// "vt u [v]": a texture coordinate, v counting up from the picture's bottom.
static bool objTexCoord(ObjReader* reader, char* p) {
  double u, v = 0;
  if (!objNumber(&p, &u)) {
    IMPORT_REFUSE("Line %d: a texture coordinate needs a number.", reader->line);
    return false;
  }
  objNumber(&p, &v);
  if (reader->texCoordCount == reader->texCoordCapacity) {
    if (reader->texCoordCount >= VXM_IMPORT_MAX_VERTICES) {
      IMPORT_REFUSE("The file has more than %d texture coordinates.", (int)VXM_IMPORT_MAX_VERTICES);
      return false;
    }
    int32_t capacity = reader->texCoordCapacity ? 2 * reader->texCoordCapacity : 1024;
    float* grown = (float*)vxmMemRealloc(reader->texCoords, sizeof(float) * 2 * (size_t)capacity);
    if (!grown) {
      IMPORT_OUT_OF_MEMORY();
      return false;
    }
    reader->texCoords = grown;
    reader->texCoordCapacity = capacity;
  }
  reader->texCoords[2 * reader->texCoordCount] = (float)u;
  reader->texCoords[2 * reader->texCoordCount + 1] = (float)v;
  ++reader->texCoordCount;
  return true;
}

// --- Geometry -------------------------------------------------------------------------------------

static bool objVertex(ObjReader* reader, char* p) {
  double x, y, z;
  if (!objNumber(&p, &x) || !objNumber(&p, &y) || !objNumber(&p, &z)) {
    IMPORT_REFUSE("Line %d: a vertex needs three numbers.", reader->line);
    return false;
  }
  VxmVector v = importFromYUp(x, y, z);
  if (!importFinite(&v)) {
    IMPORT_REFUSE("Line %d: a vertex that is not a finite number.", reader->line);
    return false;
  }
  if (!importReserveVertices(reader->build, 1)) return false;
  importAddVertex(reader->build, &v);
  return true;
}

// One index of a corner: positive from 1, negative counting back from the latest; false when it
// names no element of the `count` read so far.
static bool objIndex(ObjReader* reader, char** p, int32_t count, const char* what, int32_t* index) {
  char* start = *p;
  errno = 0;
  long value = std::strtol(start, p, 10);
  if (*p == start) {
    IMPORT_REFUSE("Line %d: a face corner needs a %s index.", reader->line, what);
    return false;
  }
  if (errno == ERANGE || value == 0 || value > count || value < -(long)count) {
    IMPORT_REFUSE("Line %d: %s index %.*s is out of range; the file has %d so far.", reader->line, what,
                  (int)(*p - start < 24 ? *p - start : 24), start, (int)count);
    return false;
  }
  *index = value > 0 ? (int32_t)(value - 1) : (int32_t)(count + value);
  return true;
}

// One corner: "v", "v/vt", "v//vn" or "v/vt/vn"; the position's index and the texture
// coordinate's (-1 for none).
static bool objCorner(ObjReader* reader, char** p, int32_t* vertex, int32_t* texCoord) {
  int32_t unused;
  *texCoord = -1;
  if (!objIndex(reader, p, reader->build->vertexCount, "vertex", vertex)) return false;
  if (**p == '/') {
    ++*p;
    if (**p != '/' && !objIndex(reader, p, reader->texCoordCount, "texture coordinate", texCoord)) return false;
    if (**p == '/') {
      ++*p;
      if (!objIndex(reader, p, reader->normals, "normal", &unused)) return false;
    }
  }
  if (**p && !objSpace(**p)) {
    IMPORT_REFUSE("Line %d: a face corner is not \"v\", \"v/vt\", \"v//vn\" or \"v/vt/vn\".", reader->line);
    return false;
  }
  return true;
}

// "f c1 c2 c3 ...": a polygon fanned from its first corner.
static bool objFace(ObjReader* reader, char* p) {
  int32_t corners = 0;
  for (char* q = objSkipSpace(p); *q; q = objSkipSpace(q)) {
    ++corners;
    while (*q && !objSpace(*q)) ++q;
  }
  if (corners < 3) {
    IMPORT_REFUSE("Line %d: a face has %d corners.", reader->line, (int)corners);
    return false;
  }
  if (!importReserveTris(reader->build, corners - 2, false, reader->picture >= 0)) return false;
  int32_t first = 0, previous = 0, firstUv = -1, previousUv = -1;
  for (int32_t k = 0; k < corners; ++k) {
    int32_t vertex, uv;
    p = objSkipSpace(p);
    if (!objCorner(reader, &p, &vertex, &uv)) return false;
    if (k >= 2) {
      if (reader->picture >= 0 && firstUv >= 0 && previousUv >= 0 && uv >= 0) {
        const float* t = reader->texCoords;
        float coords[6] = {t[2 * firstUv], t[2 * firstUv + 1], t[2 * previousUv], t[2 * previousUv + 1], t[2 * uv], t[2 * uv + 1]};
        importAddTexturedTri(reader->build, first, previous, vertex, reader->colour, false, reader->picture, coords);
      } else {
        importAddTri(reader->build, first, previous, vertex, reader->colour, false);
      }
    }
    if (k == 0) first = vertex, firstUv = uv;
    previous = vertex, previousUv = uv;
  }
  return true;
}

// One statement; those the reader does not take (o, g, s, l, p, vp and the rest) are passed over.
static bool objStatement(ObjReader* reader, char* p) {
  p = objSkipSpace(p);
  if (objKeyword(&p, "v")) return objVertex(reader, p);
  if (objKeyword(&p, "vt")) return objTexCoord(reader, p);
  if (objKeyword(&p, "vn")) return ++reader->normals, true;
  if (objKeyword(&p, "f")) return objFace(reader, p);
  if (objKeyword(&p, "usemtl")) return objUseMaterial(reader, p);
  if (objKeyword(&p, "mtllib")) return objMaterialLibrary(reader, p);
  return true;
}

static bool objRead(ObjReader* reader, char* text, char* end) {
  for (char* p = text; p < end;) {
    char* next = objCutLine(p, end);
    ++reader->line;
    if (!objStatement(reader, p)) return false;
    p = next;
  }
  return true;
}

VxmModel* vxmModelLoadOBJ(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  char path[APP_PATH_LENGTH];
  ImportBytes bytes;
  if (!importLocate(fileName, path) || !importReadFile(path, &bytes)) return nullptr;
  ImportBuild build;
  importBegin(&build);
  ObjReader reader;
  std::memset(&reader, 0, sizeof reader);
  reader.build = &build;
  reader.path = path;
  reader.colour = VXM_DEFAULT_COLOUR;
  reader.picture = -1;
  bool read = objRead(&reader, (char*)bytes.data, (char*)bytes.data + bytes.size);
  objFreeMaterials(&reader.materials);
  vxmMemFree(reader.texCoords);
  importFreeBytes(&bytes);
  VxmModel* model = read ? importFinish(&build) : nullptr;
  importEnd(&build);
  if (!model) APP_TRACE("Failed to import OBJ file: %s", path);
  return model;
}
