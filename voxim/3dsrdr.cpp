// 3dsrdr.cpp: the 3D Studio reader: merges the meshes of a .3ds file into one double-sided
// model with flat material colours, counting in a first pass and filling in a second.
#include <cstdio>
#include <cstring>

#include "app.h"
#include "vxm3ds.h"
#include "vxmMem.h"
#include "vxmModel.h"

enum {
  RDR_HEADER_SIZE = 6,         // chunk id (16 bits) and length (32 bits)
  RDR_NAME_KEPT = 256,         // characters of a string the name buffer keeps
  RDR_MATERIAL_NAME = 256,     // bytes of a material entry's name, terminator included
  RDR_FIRST_MATERIALS = 4,
  RDR_VERTEX_SIZE = 12,        // three floats
  RDR_FACE_SIZE = 8,           // three indices and the flags word
  RDR_MAX_DEPTH = 64,          // real files nest six levels; deeper chunks are passed over
};
constexpr uint32_t RDR_NO_MATERIAL_COLOUR = 0xC0C0C0;

typedef void (*RdrHandler)(FILE* file, uint32_t end);

struct RdrChunkType {
  uint16_t id;
  const char* name;
  RdrHandler handler;  // null: a container whose contents are walked as sub-chunks
};

struct RdrMaterial {
  char name[RDR_MATERIAL_NAME];
  uint32_t colour;
};

// The reader's state: one set per program, so one 3DS load at a time.
static VxmModel* rdrModel;  // null during the counting pass
static int32_t rdrTotalVertices;
static int32_t rdrTotalFaces;
static int32_t rdrNextVertex;
static int32_t rdrNextFace;
static int32_t rdrVertexBase;
static int32_t rdrFaceBase;
static RdrMaterial* rdrMaterials;
static int32_t rdrMaterialCapacity;
static int32_t rdrMaterialCount;
static bool rdrMaterialPending;
static char rdrName[RDR_NAME_KEPT + 1];
static bool rdrOutOfMemory;  // a failed allocation ends the walk and the load
static int rdrDepth;

// --- Reading -------------------------------------------------------------------------------------

// The file position; UINT32_MAX (beyond every chunk's end) when it cannot be told.
static uint32_t rdrPosition(FILE* file) {
  long at = std::ftell(file);
  return at < 0 || (uint64_t)at > UINT32_MAX ? UINT32_MAX : (uint32_t)at;
}

// Bytes left in the chunk that ends at `end`.
static uint32_t rdrRoom(FILE* file, uint32_t end) {
  uint32_t at = rdrPosition(file);
  return at < end ? end - at : 0;
}

// How many records of `size` bytes, of the `count` announced, the rest of the chunk can hold:
// a count beyond the chunk's end would otherwise make the counting pass promise records that
// the filling pass never finds.
static int32_t rdrFit(FILE* file, uint32_t end, uint32_t count, uint32_t size) {
  uint32_t fits = rdrRoom(file, end) / size;
  return (int32_t)(count < fits ? count : fits);
}

static bool rdrReadBytes(FILE* file, uint8_t* bytes, size_t count) {
  return std::fread(bytes, 1, count, file) == count;
}

static uint16_t rdrU16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

static uint32_t rdrU32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static float rdrFloat(const uint8_t* p) {
  uint32_t bits = rdrU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

static bool rdrReadU16(FILE* file, uint32_t end, uint16_t* value) {
  uint8_t bytes[2];
  if (rdrRoom(file, end) < 2 || !rdrReadBytes(file, bytes, 2)) return false;
  *value = rdrU16(bytes);
  return true;
}

// Reads a zero-terminated string into the name buffer, keeping its first 256 characters. The
// string ends at its zero, at the chunk's end or at the end of the file, whichever comes first,
// so an unterminated name never runs through the rest of the file.
static void rdrReadName(FILE* file, uint32_t end) {
  uint32_t room = rdrRoom(file, end);
  int kept = 0;
  while (room-- > 0) {
    int c = std::fgetc(file);
    if (c == EOF || c == 0) break;
    if (kept < RDR_NAME_KEPT) rdrName[kept++] = (char)c;
  }
  rdrName[kept] = 0;
}

// --- Materials -----------------------------------------------------------------------------------

static void rdrOutOfMemoryFailure(void) {
  APP_TRACE("Out of Memory!");
  appWarning("Out of Memory!");
  rdrOutOfMemory = true;
}

static bool rdrGrowMaterials(int32_t capacity) {
  int32_t size;
  if (!vxmMemMulSize(capacity, (int64_t)sizeof(RdrMaterial), &size)) {
    rdrOutOfMemoryFailure();
    return false;
  }
  RdrMaterial* grown = (RdrMaterial*)vxmMemRealloc(rdrMaterials, (size_t)size);
  if (!grown) {
    rdrOutOfMemoryFailure();
    return false;
  }
  rdrMaterials = grown;
  rdrMaterialCapacity = capacity;
  return true;
}

// A float component scaled to 0..255 and truncated toward zero; only the low 8 bits count.
// Values the 32-bit conversion cannot hold (and NaN) give the x86 "integer indefinite", whose
// low byte is 0.
static uint32_t rdrFloatComponent(float value) {
  double scaled = (double)value * 255.0;
  if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return 0;
  return (uint32_t)(int32_t)scaled & 0xFF;
}

static void rdrCompleteMaterial(uint32_t colour) {
  rdrMaterials[rdrMaterialCount].colour = colour;
  ++rdrMaterialCount;
  rdrMaterialPending = false;
}

// The colour of the first completed material of that name. Names of 255 characters or more
// are compared on the 255 characters an entry keeps.
static uint32_t rdrFindMaterialColour(const char* name) {
  for (int32_t i = 0; i < rdrMaterialCount; ++i)
    if (std::strncmp(rdrMaterials[i].name, name, RDR_MATERIAL_NAME - 1) == 0) return rdrMaterials[i].colour;
  return RDR_NO_MATERIAL_COLOUR;
}

// --- The walk ------------------------------------------------------------------------------------

static void rdrWalk(FILE* file, uint32_t end);

static void rdrPassOver(FILE* file, uint32_t end) {}

static void rdrColourFloat(FILE* file, uint32_t end) {
  if (!rdrModel || !rdrMaterialPending) return;
  uint8_t bytes[12];
  if (rdrRoom(file, end) < sizeof bytes || !rdrReadBytes(file, bytes, sizeof bytes)) return;
  rdrCompleteMaterial(rdrFloatComponent(rdrFloat(bytes)) << 16 | rdrFloatComponent(rdrFloat(bytes + 4)) << 8 |
                      rdrFloatComponent(rdrFloat(bytes + 8)));
}

static void rdrColourByte(FILE* file, uint32_t end) {
  if (!rdrModel || !rdrMaterialPending) return;
  uint8_t bytes[3];
  if (rdrRoom(file, end) < sizeof bytes || !rdrReadBytes(file, bytes, sizeof bytes)) return;
  rdrCompleteMaterial((uint32_t)bytes[0] << 16 | (uint32_t)bytes[1] << 8 | bytes[2]);
}

static void rdrObjectBlock(FILE* file, uint32_t end) {
  rdrReadName(file, end);
  rdrWalk(file, end);
}

static void rdrVertexList(FILE* file, uint32_t end) {
  uint16_t announced;
  if (!rdrReadU16(file, end, &announced)) return;
  int32_t count = rdrFit(file, end, announced, RDR_VERTEX_SIZE);
  if (!rdrModel) {
    rdrTotalVertices += count < INT32_MAX - rdrTotalVertices ? count : INT32_MAX - rdrTotalVertices;
    return;
  }
  rdrVertexBase = rdrNextVertex;
  // Never more than the counting pass made room for, even if the file changed in between.
  int32_t room = rdrModel->vertexCount - rdrNextVertex;
  if (count > room) count = room;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t bytes[RDR_VERTEX_SIZE];
    if (!rdrReadBytes(file, bytes, sizeof bytes)) return;
    // The file's Z axis is the model's Y axis (up) and its Y axis the model's Z axis.
    VxmVector* vertex = &rdrModel->vertices[rdrNextVertex];
    vertex->x = rdrFloat(bytes);
    vertex->y = rdrFloat(bytes + 8);
    vertex->z = rdrFloat(bytes + 4);
    ++rdrNextVertex;
  }
}

static void rdrFaceList(FILE* file, uint32_t end) {
  uint16_t announced;
  if (!rdrReadU16(file, end, &announced)) return;
  int32_t count = rdrFit(file, end, announced, RDR_FACE_SIZE);
  uint32_t facesEnd = rdrPosition(file) + (uint32_t)count * RDR_FACE_SIZE;
  if (!rdrModel) {
    rdrTotalFaces += count < INT32_MAX - rdrTotalFaces ? count : INT32_MAX - rdrTotalFaces;
  } else {
    rdrFaceBase = rdrNextFace;
    int32_t room = rdrModel->triCount - rdrNextFace;
    if (count > room) count = room;
    bool outside = false;
    for (int32_t i = 0; i < count; ++i) {
      uint8_t bytes[RDR_FACE_SIZE];
      if (!rdrReadBytes(file, bytes, sizeof bytes)) return;
      VxmTri* tri = &rdrModel->tris[rdrNextFace];
      for (int k = 0; k < 3; ++k) tri->v[k] = (int32_t)rdrU16(bytes + 2 * k) + rdrVertexBase;
      if (!vxmModelTriCornersValid(rdrModel, tri)) {
        // A corner beyond the vertex table would have the renderer read outside it: the face
        // collapses onto one valid vertex and draws nothing.
        int32_t anchor = rdrVertexBase < rdrModel->vertexCount ? rdrVertexBase : 0;
        tri->v[0] = tri->v[1] = tri->v[2] = anchor;
        outside = true;
      }
      ++rdrNextFace;
    }
    if (outside) APP_TRACE("Invalid vertex index");
  }
  if (std::fseek(file, (long)facesEnd, SEEK_SET) != 0) return;
  rdrWalk(file, end);
}

static void rdrFaceMaterial(FILE* file, uint32_t end) {
  if (!rdrModel) return;
  rdrReadName(file, end);
  uint32_t colour = rdrFindMaterialColour(rdrName);
  uint16_t announced;
  if (!rdrReadU16(file, end, &announced)) return;
  int32_t count = rdrFit(file, end, announced, 2);
  // Indices count within the latest face list; one beyond the faces it stored is ignored.
  int32_t faces = rdrNextFace - rdrFaceBase;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t bytes[2];
    if (!rdrReadBytes(file, bytes, sizeof bytes)) return;
    int32_t face = rdrU16(bytes);
    if (face < faces) rdrModel->tris[rdrFaceBase + face].colour = colour;
  }
}

static void rdrMaterialName(FILE* file, uint32_t end) {
  if (!rdrModel) return;
  rdrReadName(file, end);
  if (rdrMaterialCount == rdrMaterialCapacity && !rdrGrowMaterials(rdrMaterialCapacity * 2)) return;
  // The entry is counted only when a colour arrives; until then the next name overwrites it.
  RdrMaterial* material = &rdrMaterials[rdrMaterialCount];
  std::strncpy(material->name, rdrName, RDR_MATERIAL_NAME - 1);
  material->name[RDR_MATERIAL_NAME - 1] = 0;
  material->colour = RDR_NO_MATERIAL_COLOUR;
  rdrMaterialPending = true;
}

static void rdrLight(FILE* file, uint32_t end) {
  uint8_t position[12];
  if (rdrRoom(file, end) < sizeof position || !rdrReadBytes(file, position, sizeof position)) return;
  rdrWalk(file, end);
}

static const RdrChunkType rdrChunkTypes[] = {
    {0x0010, "RGB float", rdrColourFloat},
    {0x0011, "RGB byte", rdrColourByte},
    {0xC23D, "Project", nullptr},
    {0x3DAA, "Material Library", nullptr},
    {0x4D4D, "Main", nullptr},
    {0x3D3D, "Object Mesh", nullptr},
    {0x1200, "Background color", nullptr},
    {0x2100, "Ambient color", nullptr},
    {0x4000, "Object Block", rdrObjectBlock},
    {0x4100, "Tri-Mesh", nullptr},
    {0x4110, "Vertex list", rdrVertexList},
    {0x4120, "Face list", rdrFaceList},
    {0x4130, "Face material", rdrFaceMaterial},
    {0x4600, "Light", rdrLight},
    {0x4F00, "Hierarchy", nullptr},
    {0x7001, "Viewport info", nullptr},
    {0xAFFF, "Material", nullptr},
    {0xA000, "Material name", rdrMaterialName},
    {0xA010, "Ambient color", nullptr},
    {0xA020, "Diffuse color", nullptr},
    {0xA030, "Specular color", nullptr},
    {0xA200, "Texture map", nullptr},
    {0xA230, "Bump map", nullptr},
    {0xB000, "Keyframer data", nullptr},
    {0xB001, "Ambient key", nullptr},
    {0xB002, "Track info", nullptr},
    {0xB003, "Camera track", nullptr},
    {0xB004, "Camera target track", nullptr},
    {0xB005, "Pointlight track", nullptr},
    {0xB006, "Pointlight target track", nullptr},
    {0xB007, "Spotlight track", nullptr},
    {0xB023, "FOV track", nullptr},
    {0xB024, "Roll track", nullptr},
    // Recognised, and passed over like an unknown chunk.
    {0x4140, "Mappings list", rdrPassOver},
    {0x4150, "Smoothings", rdrPassOver},
    {0x4160, "Matrix", rdrPassOver},
    {0x4610, "Spotlight", rdrPassOver},
    {0x4700, "Camera", rdrPassOver},
    {0xA300, "Map filename", rdrPassOver},
    {0xB008, "Frames", rdrPassOver},
    {0xB010, "Track Obj. Name", rdrPassOver},
    {0xB013, "Pivot point", rdrPassOver},
    {0xB020, "Position keys", rdrPassOver},
    {0xB021, "Rotation keys", rdrPassOver},
    {0xB022, "Scale keys", rdrPassOver},
    {0xB030, "Object number", rdrPassOver},
};
static_assert(sizeof rdrChunkTypes / sizeof rdrChunkTypes[0] == 46, "the reader knows 46 chunk types");

static const RdrChunkType* rdrFindChunkType(uint16_t id) {
  for (const RdrChunkType& type : rdrChunkTypes)
    if (type.id == id) return &type;
  return nullptr;
}

// Walks the chunks from the current position up to `end`. A chunk of length 0 or shorter than
// its header stops this level. A chunk that reaches past its parent's end (a truncated file, or
// a hostile length) is read up to the parent's end, which makes it the last of its level. Every
// walk thus moves forward and ends.
static void rdrWalk(FILE* file, uint32_t end) {
  if (rdrDepth >= RDR_MAX_DEPTH) return;
  ++rdrDepth;
  while (!rdrOutOfMemory) {
    uint32_t start = rdrPosition(file);
    if (start >= end || end - start < RDR_HEADER_SIZE) break;  // no room left for a header
    uint8_t header[RDR_HEADER_SIZE];
    if (!rdrReadBytes(file, header, sizeof header)) break;
    uint16_t id = rdrU16(header);
    uint32_t length = rdrU32(header + 2);
    if (length < RDR_HEADER_SIZE) break;
    uint32_t chunkEnd = length > end - start ? end : start + length;
    const RdrChunkType* type = rdrFindChunkType(id);
    if (type) {
      if (type->handler)
        type->handler(file, chunkEnd);
      else
        rdrWalk(file, chunkEnd);
    }
    if (std::fseek(file, (long)chunkEnd, SEEK_SET) != 0 || std::ferror(file)) break;
  }
  --rdrDepth;
}

// Walks the whole file from its start; false when its length cannot be found.
static bool rdrWalkFile(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return false;
  long length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) return false;
  rdrDepth = 0;
  rdrWalk(file, (uint64_t)length > UINT32_MAX ? UINT32_MAX : (uint32_t)length);
  return true;
}

// --- Loading -------------------------------------------------------------------------------------

static FILE* rdrOpen(const char* fileName, char* path) {
  if (!appLocateFile(fileName, path)) {
    APP_TRACE("Failed to validate file: %s", fileName);
    return nullptr;
  }
  FILE* file = appFileOpen(path, "rb");
  if (!file) APP_TRACE("Failed to open file: %s", path);
  return file;
}

static void rdrCountPass(FILE* file) {
  rdrModel = nullptr;
  rdrTotalVertices = 0;
  rdrTotalFaces = 0;
  rdrOutOfMemory = false;
  rdrWalkFile(file);
}

// Fills the model made from the counts; false when an allocation failed (already reported).
static bool rdrFillPass(FILE* file, VxmModel* model) {
  // The tables come uninitialised and the file may hold fewer records than were counted:
  // vertices start at the origin and facets as a point on vertex 0.
  std::memset(model->vertices, 0, sizeof(VxmVector) * (size_t)model->vertexCount);
  for (int32_t i = 0; i < model->triCount; ++i) {
    VxmTri* tri = &model->tris[i];
    tri->v[0] = tri->v[1] = tri->v[2] = 0;
    std::memset(tri->uv, 0, sizeof tri->uv);
  }
  rdrModel = model;
  rdrNextVertex = rdrNextFace = 0;
  rdrVertexBase = rdrFaceBase = 0;
  rdrMaterials = nullptr;
  rdrMaterialCapacity = rdrMaterialCount = 0;
  rdrMaterialPending = false;
  rdrName[0] = 0;
  rdrOutOfMemory = false;
  if (rdrGrowMaterials(RDR_FIRST_MATERIALS)) rdrWalkFile(file);
  vxmMemFree(rdrMaterials);
  rdrMaterials = nullptr;
  rdrMaterialCapacity = rdrMaterialCount = 0;
  rdrModel = nullptr;
  return !rdrOutOfMemory;
}

VxmModel* vxmModelLoad3DS(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  char path[APP_PATH_LENGTH];
  FILE* file = rdrOpen(fileName, path);
  if (!file) return nullptr;
  rdrCountPass(file);
  std::fclose(file);

  file = appFileOpen(path, "rb");
  if (!file) {
    APP_TRACE("Failed to open file: %s", path);
    return nullptr;
  }
  VxmModel* model = vxmModelCreate(rdrTotalVertices, 0, rdrTotalFaces);
  if (!model) {
    APP_TRACE("Failed to create model");
    std::fclose(file);
    return nullptr;
  }
  bool filled = rdrFillPass(file, model);
  std::fclose(file);
  if (!filled) {
    vxmModelFree(model);
    return nullptr;
  }

  std::strcpy(model->fileName, "Untitled.vxm");
  vxmModelMakeDoubleSided(model);
  if (!vxmModelCalcSurfaceNormals(model)) {
    APP_TRACE("Failed to calculate surface normals");
    vxmModelFree(model);
    return nullptr;
  }
  return model;
}

bool vxm3dsCount(const char* fileName, int32_t* vertices, int32_t* faces) {
  if (!fileName || !vertices || !faces) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  char path[APP_PATH_LENGTH];
  FILE* file = rdrOpen(fileName, path);
  if (!file) return false;
  rdrCountPass(file);
  std::fclose(file);
  *vertices = rdrTotalVertices;
  *faces = rdrTotalFaces;
  return true;
}
