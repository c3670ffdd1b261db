// ImportCommon.cpp: the rules the STL, OBJ and glTF readers share: the limit, building and
// finishing the merged model, welding, axis mappings, colours, refusals and files beside a model.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ImportInternal.h"
#include "app.h"
#include "vxmMem.h"
#include "vxmTwin.h"

static char importReason[APP_TRACE_LINE];
static int64_t importTriangles;

int64_t vxmImportTriangles(void) { return importTriangles; }

const char* vxmImportReason(void) { return importReason; }
void vxmImportClearReason(void) { importReason[0] = 0; }

void importRefuse(const char* sourcePath, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(importReason, sizeof importReason, format, args);
  va_end(args);
  appTrace(sourcePath, line, "%s", importReason);
}

void importOutOfMemory(const char* sourcePath, int line) {
  std::snprintf(importReason, sizeof importReason, "Out of Memory!");
  appTrace(sourcePath, line, "Out of Memory!");
  appWarning("Out of Memory!");
}

// --- Building ---------------------------------------------------------------------------------------

void importBegin(ImportBuild* build) { std::memset(build, 0, sizeof *build); }

// The early table's pages, touched in turn: one write to each page of memory makes the system
// supply it, which it would otherwise do while the facets are written.
static void importTouchPages(void* context) {
  const ImportBuild* build = (const ImportBuild*)context;
  volatile uint8_t* bytes = (volatile uint8_t*)build->early;
  const size_t size = (size_t)build->earlyCount * sizeof(VxmTri);
  for (size_t at = 0; at < size; at += IMPORT_PAGE) bytes[at] = 0;
}

void importExpectFacets(ImportBuild* build, int64_t facets) {
  int32_t bytes;
  if (build->early || facets < IMPORT_TASK_FACETS || !vxmMemMulSize(facets, sizeof(VxmTri), &bytes)) return;
  build->early = (VxmTri*)vxmMemAlloc((size_t)bytes);
  if (!build->early) return;  // the table is made when it is needed, as for any reader
  build->earlyCount = facets;
  appTaskStart(&build->touching, importTouchPages, build);
}

void importEnd(ImportBuild* build) {
  appTaskWait(&build->touching);
  vxmMemFree(build->early);
  for (int32_t i = 0; i < build->pictureCount; ++i) vxmBitmapFree(build->pictures[i].bitmap);
  vxmMemFree(build->pictures);
  vxmMemFree(build->vertices);
  vxmMemFree(build->tris);
  vxmMemFree(build->uvs);
  vxmMemFree(build->weldSlots);
  importBegin(build);
}

// Grows a table to hold `needed` records of `size` bytes, doubling; needed stays within the limits,
// so the sizes fit 32 bits.
static bool importGrow(void** table, int32_t* capacity, int64_t needed, int64_t size) {
  if (needed <= *capacity) return true;
  int64_t grown = *capacity < 1024 ? 1024 : *capacity;
  while (grown < needed) grown *= 2;
  int32_t bytes;
  if (!vxmMemMulSize(grown, size, &bytes)) {
    grown = needed;
    if (!vxmMemMulSize(grown, size, &bytes)) {
      IMPORT_OUT_OF_MEMORY();
      return false;
    }
  }
  void* block = vxmMemRealloc(*table, (size_t)bytes);
  if (!block) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  *table = block;
  *capacity = (int32_t)grown;
  return true;
}

bool importReserveVertices(ImportBuild* build, int64_t more) {
  int64_t total = (int64_t)build->vertexCount + more;
  if (more < 0 || total > VXM_IMPORT_MAX_VERTICES) {
    IMPORT_REFUSE("The file makes %lld vertices; a model may have at most %d.",
                  (long long)(more < 0 ? INT64_MAX : total), (int)VXM_IMPORT_MAX_VERTICES);
    return false;
  }
  return importGrow((void**)&build->vertices, &build->vertexCapacity, total, sizeof(VxmVector));
}

bool importReserveTris(ImportBuild* build, int64_t more, bool oneSided, bool textured) {
  // Counts come from files: up to 2^32 (STL) or beyond, so they are added in 64 bits.
  int64_t facets = more < 0 || more > INT64_MAX / 4 ? INT64_MAX : build->facets + more * (oneSided ? 1 : 2);
  if (facets > VXM_IMPORT_MAX_FACETS) {
    IMPORT_REFUSE("The file makes %lld facets once double-sided; a model may have at most %d.", (long long)facets,
                  (int)VXM_IMPORT_MAX_FACETS);
    return false;
  }
  if (!importGrow((void**)&build->tris, &build->triCapacity, (int64_t)build->triCount + more, sizeof(ImportTri)))
    return false;
  // Once one facet may have coordinates, every facet has room for them.
  return (!textured && !build->uvs) ||
         importGrow((void**)&build->uvs, &build->uvCapacity, build->triCapacity, 6 * sizeof(float));
}

int32_t importAddVertex(ImportBuild* build, const VxmVector* position) {
  build->vertices[build->vertexCount] = *position;
  return build->vertexCount++;
}

void importAddTri(ImportBuild* build, int32_t a, int32_t b, int32_t c, uint32_t colour, bool oneSided) {
  ImportTri* tri = &build->tris[build->triCount++];
  tri->v[0] = a;
  tri->v[1] = c;
  tri->v[2] = b;
  tri->colour = colour;
  tri->picture = -1;
  tri->oneSided = oneSided;
  build->facets += oneSided ? 1 : 2;
}

void importAddTexturedTri(ImportBuild* build, int32_t a, int32_t b, int32_t c, uint32_t colour, bool oneSided,
                          int32_t picture, const float uv[6]) {
  importAddTri(build, a, b, c, colour, oneSided);
  build->tris[build->triCount - 1].picture = (int16_t)picture;
  float* to = &build->uvs[6 * (size_t)(build->triCount - 1)];
  // The corners' coordinates follow the corners: (a, c, b).
  const int from[3] = {0, 2, 1};
  for (int k = 0; k < 3; ++k) {
    to[2 * k] = uv[2 * from[k]];
    to[2 * k + 1] = uv[2 * from[k] + 1];
  }
}

// --- Welding ------------------------------------------------------------------------------------------

// The position's three words mixed in 64 bits: the float patterns of grid-like models (whole
// numbers, few distinct values) differ in few bits, which a weaker mix leaves in few slots.
static uint32_t importPositionHash(const VxmVector* p) {
  uint32_t bits[3];
  std::memcpy(bits, p, sizeof bits);
  uint64_t h = ((uint64_t)bits[0] << 32 | bits[1]) * 0x9E3779B97F4A7C15ull;
  h ^= (h >> 29) ^ bits[2];
  h *= 0xBF58476D1CE4E5B9ull;
  return (uint32_t)(h >> 32);
}

static bool importSamePosition(const VxmVector* a, const VxmVector* b) {
  return std::memcmp(a, b, sizeof *a) == 0;
}

// Rebuilds the slots for at least twice the vertices the build holds or expects.
static bool importWeldRehash(ImportBuild* build, int64_t expected) {
  int64_t slots = 1024;
  while (slots < 2 * expected) slots *= 2;
  int32_t bytes;
  ImportWeldSlot* table = nullptr;
  if (vxmMemMulSize(slots, sizeof(ImportWeldSlot), &bytes)) table = (ImportWeldSlot*)vxmMemAlloc((size_t)bytes);
  if (!table) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  std::memset(table, 0xFF, (size_t)bytes);
  uint32_t mask = (uint32_t)(slots - 1);
  for (int32_t i = 0; i < build->vertexCount; ++i) {
    const uint32_t hash = importPositionHash(&build->vertices[i]);
    uint32_t at = hash & mask;
    while (table[at].index >= 0) at = (at + 1) & mask;
    table[at].hash = hash;
    table[at].index = i;
  }
  vxmMemFree(build->weldSlots);
  build->weldSlots = table;
  build->weldMask = mask;
  return true;
}

void importWeldExpect(ImportBuild* build, int64_t vertices) { build->weldExpected = vertices; }

// -0 and 0 are one position.
static VxmVector importWeldPosition(const VxmVector* position) {
  VxmVector p = *position;
  if (p.x == 0.0f) p.x = 0.0f;
  if (p.y == 0.0f) p.y = 0.0f;
  if (p.z == 0.0f) p.z = 0.0f;
  return p;
}

// The weld of a position already free of -0, whose hash is given.
static int32_t importWeldHashed(ImportBuild* build, const VxmVector* p, uint32_t hash) {
  if (!build->weldSlots || 2 * (int64_t)(build->vertexCount + 1) > (int64_t)build->weldMask + 1) {
    int64_t expected = 2 * (int64_t)build->vertexCount + 1024;
    if (expected < build->weldExpected) expected = build->weldExpected;
    if (!importWeldRehash(build, expected)) return -1;
  }
  uint32_t at = hash & build->weldMask;
  for (;;) {
    const ImportWeldSlot* slot = &build->weldSlots[at];
    if (slot->index < 0) break;
    if (slot->hash == hash && importSamePosition(&build->vertices[slot->index], p)) {
      return slot->index;
    }
    at = (at + 1) & build->weldMask;
  }
  if (!importReserveVertices(build, 1)) return -1;
  int32_t index = importAddVertex(build, p);
  build->weldSlots[at].hash = hash;
  build->weldSlots[at].index = index;
  return index;
}

int32_t importWeld(ImportBuild* build, const VxmVector* position) {
  const VxmVector p = importWeldPosition(position);
  return importWeldHashed(build, &p, importPositionHash(&p));
}

bool importWeldMany(ImportBuild* build, const VxmVector* positions, int32_t count, int32_t* indices) {
  // The slot of the position a few ahead is fetched while this one is welded: each slot is a
  // read from memory far larger than the caches, and these reads overlap.
  enum { AHEAD = 32 };
  uint32_t hashes[AHEAD];
  for (int32_t i = 0; i < count + AHEAD; ++i) {
    const int32_t k = i - AHEAD;
    if (k >= 0) {
      const VxmVector p = importWeldPosition(&positions[k]);
      indices[k] = importWeldHashed(build, &p, hashes[k % AHEAD]);
      if (indices[k] < 0) return false;
    }
    if (i < count) {
      const VxmVector p = importWeldPosition(&positions[i]);
      hashes[i % AHEAD] = importPositionHash(&p);
      if (build->weldSlots) __builtin_prefetch(&build->weldSlots[hashes[i % AHEAD] & build->weldMask]);
    }
  }
  return true;
}

// --- Finishing ----------------------------------------------------------------------------------------

// A model facet made from the build's facet `from`, with its normal.
static void importMakeTri(const ImportBuild* build, const VxmModel* model, VxmTri* to, int32_t from) {
  const ImportTri* tri = &build->tris[from];
  std::memset(to, 0, sizeof *to);
  to->n[0] = to->n[1] = to->n[2] = -1;
  for (int k = 0; k < 3; ++k) to->v[k] = tri->v[k];
  to->colour = tri->colour;
  if (tri->picture >= 0) importTextureTri(build, model, to, from);
  vxmModelCalcTriNormal(model, to);
}

// A twin made by doubling has its first two corners exchanged but its texture coordinates as
// they were; on a textured twin they are exchanged too, so that the back shows the picture
// where the front does. A twin is the facet after its original with corners (v1, v0, v2) and the
// same texture and coordinates.
static void importTurnTwinCoordinates(VxmTri* tris, int32_t count) {
  for (int32_t i = 0; i + 1 < count; ++i) {
    const VxmTri* front = &tris[i];
    VxmTri* twin = &tris[i + 1];
    if (!front->texture || twin->texture != front->texture || twin->v[0] != front->v[1] ||
        twin->v[1] != front->v[0] || twin->v[2] != front->v[2] || std::memcmp(twin->uv, front->uv, sizeof twin->uv) != 0)
      continue;
    twin->uv[0] = front->uv[2], twin->uv[1] = front->uv[3];
    twin->uv[2] = front->uv[0], twin->uv[3] = front->uv[1];
    ++i;
  }
}

// The index of the two-sided facets for their twins: built on the build's table when every facet
// is two-sided, else on a copy of the two-sided facets' corners. False when memory runs out.
static bool importIndexTwins(const ImportBuild* build, int32_t twoSided, VxmTwinIndex* index) {
  if (twoSided == build->triCount) return vxmTwinIndexMake(index, build->tris, sizeof(ImportTri), twoSided);
  int32_t bytes;
  int32_t* corners = nullptr;
  if (vxmMemMulSize(twoSided, 3 * sizeof(int32_t), &bytes)) corners = (int32_t*)vxmMemAlloc((size_t)bytes);
  if (!corners) return false;
  int32_t* to = corners;
  for (int32_t i = 0; i < build->triCount; ++i) {
    if (build->tris[i].oneSided) continue;
    std::memcpy(to, build->tris[i].v, 3 * sizeof(int32_t));
    to += 3;
  }
  bool made = vxmTwinIndexMake(index, corners, 3 * sizeof(int32_t), twoSided);
  vxmMemFree(corners);
  return made;
}

// One part of the build's facets on their way into the model's table. A large model is made in
// two parts, the second by a task beside the caller.
struct ImportPart {
  const ImportBuild* build;
  const VxmModel* model;
  const VxmTwinIndex* index;  // of the two-sided facets; unused when there are none
  uint8_t* lone;              // for each facet of the build: 1 when it is two-sided and needs a twin
  VxmTri* tris;               // the model's new table
  int32_t first, end;         // the part's facets of the build, [first, end)
  int32_t twoSided;           // counted: its two-sided facets,
  int32_t doubled;            // the facets they make with their twins,
  int32_t single;             // and its one-sided facets
  int32_t doubledAt, singleAt;  // where the part's facets of either kind go
  bool progress;              // the part shows the bar (the caller's part only)
};

// Which two-sided facets of the part need a twin, and how many facets the part makes.
static void importCountPart(void* context) {
  ImportPart* part = (ImportPart*)context;
  for (int32_t i = part->first; i < part->end; ++i) {
    const ImportTri* tri = &part->build->tris[i];
    if (tri->oneSided) {
      ++part->single;
      continue;
    }
    const bool lone = !vxmTwinIndexHoldsReverse(part->index, tri->v[0], tri->v[1], tri->v[2]);
    part->lone[i] = lone;
    part->doubled += lone ? 2 : 1;
    ++part->twoSided;
  }
}

// The part's facets written where they go, with their normals.
static void importWritePart(void* context) {
  ImportPart* part = (ImportPart*)context;
  int32_t doubledAt = part->doubledAt, singleAt = part->singleAt;
  for (int32_t i = part->first, done = 0, step = 0; i < part->end; ++i) {
    if (part->build->tris[i].oneSided) {
      importMakeTri(part->build, part->model, &part->tris[singleAt++], i);
      continue;
    }
    VxmTri* front = &part->tris[doubledAt++];
    importMakeTri(part->build, part->model, front, i);
    if (part->lone[i]) {
      VxmTri* twin = &part->tris[doubledAt++];
      *twin = *front;
      twin->v[0] = front->v[1];
      twin->v[1] = front->v[0];
      vxmModelCalcTriNormal(part->model, twin);
    }
    if (part->progress && done == step) {
      appProgress((uint32_t)done, (uint32_t)part->twoSided);
      step = (int32_t)appProgressNext((uint32_t)done, (uint32_t)part->twoSided);
    }
    ++done;
  }
}

// The model's facet table, with normals: the two-sided facets in order, each followed by its
// reversed twin unless they hold one already (as vxmModelMakeDoubleSided makes them), then the
// one-sided facets in order. False (reported) when memory runs out; the model keeps its table.
static bool importMakeFacets(ImportBuild* build, VxmModel* model, int32_t twoSided, int32_t oneSided) {
  const int64_t most = 2 * (int64_t)twoSided + oneSided;
  appTaskWait(&build->touching);
  VxmTri* tris = nullptr;
  int32_t bytes;
  if (build->early && build->earlyCount >= most) {
    tris = build->early;
    build->early = nullptr;
  } else if (vxmMemMulSize(most, sizeof(VxmTri), &bytes)) {
    tris = (VxmTri*)vxmMemAlloc((size_t)bytes);
  }
  uint8_t* lone = twoSided > 0 && tris ? (uint8_t*)vxmMemAlloc((size_t)build->triCount) : nullptr;
  VxmTwinIndex index = {};
  if (!tris || (twoSided > 0 && (!lone || !importIndexTwins(build, twoSided, &index)))) {
    vxmMemFree(tris);
    vxmMemFree(lone);
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  if (twoSided > 0) appStatusText("Making all facets double-sided...");
  ImportPart parts[2];
  const int parted = build->triCount >= IMPORT_TASK_FACETS ? 2 : 1;
  for (int k = 0; k < parted; ++k) {
    std::memset(&parts[k], 0, sizeof parts[k]);
    parts[k].build = build;
    parts[k].model = model;
    parts[k].index = &index;
    parts[k].lone = lone;
    parts[k].tris = tris;
    parts[k].first = (int32_t)((int64_t)build->triCount * k / parted);
    parts[k].end = (int32_t)((int64_t)build->triCount * (k + 1) / parted);
  }
  parts[0].progress = true;
  AppTask task = {};
  if (parted == 2) appTaskStart(&task, importCountPart, &parts[1]);
  importCountPart(&parts[0]);
  appTaskWait(&task);
  const int32_t doubled = parts[0].doubled + (parted == 2 ? parts[1].doubled : 0);
  parts[0].singleAt = doubled;
  if (parted == 2) {
    parts[1].doubledAt = parts[0].doubled;
    parts[1].singleAt = doubled + parts[0].single;
    appTaskStart(&task, importWritePart, &parts[1]);
  }
  importWritePart(&parts[0]);
  appTaskWait(&task);
  vxmTwinIndexFree(&index);
  vxmMemFree(lone);
  if (twoSided > 0) {
    if (build->pictureCount > 0) importTurnTwinCoordinates(tris, doubled);
    appProgress(0, 1);
    appStatusText(nullptr);
  }
  const int32_t count = doubled + oneSided;
  // Shrinking cannot lose data; should it fail, the larger block serves as well.
  VxmTri* shrunk = (VxmTri*)vxmMemRealloc(tris, (size_t)count * sizeof(VxmTri));
  if (shrunk) tris = shrunk;
  vxmMemFree(model->tris);
  model->tris = tris;
  model->triCount = count;
  return true;
}

VxmModel* importFinish(ImportBuild* build) {
  if (build->triCount < 1) {
    IMPORT_REFUSE("The file holds no triangles.");
    return nullptr;
  }
  int32_t oneSided = 0;
  for (int32_t i = 0; i < build->triCount; ++i) oneSided += build->tris[i].oneSided;
  int32_t twoSided = build->triCount - oneSided;
  // Welding is over: its slots go before the larger tables come.
  vxmMemFree(build->weldSlots);
  build->weldSlots = nullptr;
  // Tables of one vertex and one facet for now: the model takes the build's vertex table, and
  // importMakeFacets puts the model's facet table in its place.
  VxmModel* model = vxmModelCreate(build->vertexCount > 0 ? 1 : 0, 0, 1);
  if (!model) {
    APP_TRACE("Failed to create model");
    std::snprintf(importReason, sizeof importReason, "Out of Memory!");
    return nullptr;
  }
  // Cut to its vertices; should that fail, the larger table serves as well.
  VxmVector* vertices = (VxmVector*)vxmMemRealloc(build->vertices, sizeof(VxmVector) * (size_t)build->vertexCount);
  if (vertices) build->vertices = vertices;
  vxmMemFree(model->vertices);
  model->vertices = build->vertices;
  model->vertexCount = build->vertexCount;
  build->vertices = nullptr;
  build->vertexCount = build->vertexCapacity = 0;
  // Pictures are given to the model first, so that the facets can point at their bitmaps.
  importInstallPictures(build, model);
  if (!importMakeFacets(build, model, twoSided, oneSided)) {
    vxmModelFree(model);
    return nullptr;
  }
  std::strcpy(model->fileName, "Untitled.vxm");
  importTriangles = build->triCount;
  return model;
}

// --- Axes and colours -----------------------------------------------------------------------------------

double importNumber(const char* text, char** end) {
  static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return std::strtod(text, end);  // hexadecimal
  // The significant digits (leading zeros are not) and the power of ten that scales them.
  uint64_t digits = 0;
  int count = 0, exponent = 0;
  const char* whole = p;
  while (*p == '0') ++p;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (++count > 19) return std::strtod(text, end);
    digits = digits * 10 + (uint64_t)(*p - '0');
  }
  bool any = p != whole;
  if (*p == '.') {
    const char* fraction = ++p;
    if (digits == 0)
      while (*p == '0') ++p;
    for (; *p >= '0' && *p <= '9'; ++p) {
      if (++count > 19) return std::strtod(text, end);
      digits = digits * 10 + (uint64_t)(*p - '0');
    }
    exponent = -(int)(p - fraction);
    any = any || p != fraction;
  }
  if (!any) return std::strtod(text, end);  // no digits: "inf", "nan", spaces first, or no number
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    const bool down = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    if (*q >= '0' && *q <= '9') {  // else the "e" is not part of the number, as strtod reads it
      int power = 0;
      for (; *q >= '0' && *q <= '9'; ++q)
        if (power < 100000) power = power * 10 + (*q - '0');
      exponent += down ? -power : power;
      p = q;
    }
  }
  if (digits > (uint64_t)1 << 53 || exponent < -22 || exponent > 22) return std::strtod(text, end);
  const double value = exponent < 0 ? (double)digits / powers[-exponent] : (double)digits * powers[exponent];
  if (end) *end = (char*)p;
  return negative ? -value : value;
}

static uint32_t importComponent(double value) {
  if (!(value > 0.0)) return 0;  // NaN too
  if (value >= 1.0) return 255;
  return (uint32_t)(value * 255.0 + 0.5);
}

uint32_t importColour(double red, double green, double blue) {
  return importComponent(red) << 16 | importComponent(green) << 8 | importComponent(blue);
}

double importLinearToSrgb(double linear) {
  if (!(linear > 0.0)) return 0.0;
  if (linear >= 1.0) return 1.0;
  return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

// --- Files ----------------------------------------------------------------------------------------------

bool importLocate(const char* fileName, char* path) {
  if (!appLocateFile(fileName, path)) {
    IMPORT_REFUSE("Failed to validate file: %s", fileName);
    return false;
  }
  return true;
}

bool importOpenFile(const char* path, FILE** opened, int64_t* size) {
  FILE* file = appFileOpen(path, "rb");
  if (!file) {
    IMPORT_REFUSE("Failed to open file: %s", path);
    return false;
  }
  long length = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
  if (length < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    IMPORT_REFUSE("Failed to read file: %s", path);
    return false;
  }
  if (length > VXM_IMPORT_MAX_FILE) {
    std::fclose(file);
    IMPORT_REFUSE("The file %s has %ld bytes; a model file may have at most %d.", path, length,
                  (int)VXM_IMPORT_MAX_FILE);
    return false;
  }
  *opened = file;
  *size = length;
  return true;
}

bool importReadFile(const char* path, ImportBytes* bytes) {
  FILE* file;
  int64_t size;
  bytes->data = nullptr;
  bytes->size = 0;
  return importOpenFile(path, &file, &size) && importReadOpenFile(file, path, size, bytes);
}

bool importReadOpenFile(FILE* file, const char* path, int64_t length, ImportBytes* bytes) {
  bytes->data = nullptr;
  bytes->size = 0;
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    IMPORT_REFUSE("Failed to read file: %s", path);
    return false;
  }
  bytes->data = (uint8_t*)vxmMemAlloc((size_t)length + 1);
  if (!bytes->data) {
    std::fclose(file);
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  bool read = std::fread(bytes->data, 1, (size_t)length, file) == (size_t)length;
  std::fclose(file);
  if (!read) {
    importFreeBytes(bytes);
    IMPORT_REFUSE("Failed to read file: %s", path);
    return false;
  }
  bytes->data[length] = 0;
  bytes->size = length;
  return true;
}

void importFreeBytes(ImportBytes* bytes) {
  vxmMemFree(bytes->data);
  bytes->data = nullptr;
  bytes->size = 0;
}

static bool importIsSeparator(char c) { return c == '/' || c == '\\'; }

// True when the name stays in the folder it is taken in: not absolute, no drive, no ".." part.
static bool importStaysBeside(const char* name) {
  if (!name[0] || importIsSeparator(name[0]) || std::strchr(name, ':')) return false;
  const char* part = name;
  for (;;) {
    size_t length = 0;
    while (part[length] && !importIsSeparator(part[length])) ++length;
    if (length == 2 && part[0] == '.' && part[1] == '.') return false;
    if (!part[length]) return true;
    part += length + 1;
  }
}

bool importBesidePath(const char* modelPath, const char* name, char* result) {
  if (!importStaysBeside(name)) {
    IMPORT_REFUSE("The model names a file outside its folder: %s", name);
    return false;
  }
  while (name[0] == '.' && importIsSeparator(name[1])) name += 2;  // "./x" is "x"
  size_t folder = 0;
  char separator = '\\';
  for (size_t i = 0; modelPath[i]; ++i)
    if (importIsSeparator(modelPath[i])) folder = i + 1, separator = modelPath[i];
  size_t length = std::strlen(name);
  if (folder + length >= APP_PATH_LENGTH) {
    IMPORT_REFUSE("The path of %s is too long.", name);
    return false;
  }
  std::memcpy(result, modelPath, folder);
  for (size_t i = 0; i <= length; ++i) result[folder + i] = importIsSeparator(name[i]) ? separator : name[i];
  return true;
}
