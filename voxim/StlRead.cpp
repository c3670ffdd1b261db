// StlRead.cpp: the STL reader: binary and ASCII stereolithography files, corners at the same
// position welded into one vertex, every facet in the model's default colour, Z-up mapped as 3DS.
#include <cstdlib>
#include <cstring>

#include "ImportInternal.h"
#include "app.h"
#include "vxmMem.h"

enum {
  STL_HEADER = 80,
  STL_BINARY_START = 84,  // header and the 32-bit triangle count
  STL_BINARY_TRIANGLE = 50,  // normal, three corners (12 floats) and a 16-bit attribute word
  STL_LOOP_CORNERS = 64,  // corners of one ASCII facet (real files have 3; polygons are fanned)
  STL_RUN = 4096,  // binary triangles read at a time
};

static float stlFloat(const uint8_t* p) {
  uint32_t bits = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

static uint32_t stlU32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// A binary file is exactly 84 + 50 n bytes for its n triangles, whatever its header says (some
// programs begin it with "solid").
static bool stlIsBinary(int64_t size, const uint8_t* start) {
  return size >= STL_BINARY_START && size == STL_BINARY_START + (int64_t)STL_BINARY_TRIANGLE * stlU32(start + STL_HEADER);
}

// A run of binary triangles as read, then their corners in the model's axes and welded.
struct StlRun {
  uint8_t bytes[STL_RUN * STL_BINARY_TRIANGLE];
  VxmVector corners[3 * STL_RUN];
  int32_t indices[3 * STL_RUN];
};

// `count` triangles of a binary file in `run`, the first of them triangle `first` of the file.
// The corners of the triangles before the first that is not finite are welded together, then the
// triangles are added, then that one is refused.
static bool stlBinaryTriangles(StlRun* run, uint32_t first, uint32_t count, ImportBuild* build) {
  uint32_t good = 0;
  for (const uint8_t* p = run->bytes; good < count; ++good, p += STL_BINARY_TRIANGLE) {
    VxmVector* corner = &run->corners[3 * good];
    for (int k = 0; k < 3; ++k) {
      const uint8_t* q = p + 12 + 12 * k;
      corner[k] = importFromZUp(stlFloat(q), stlFloat(q + 4), stlFloat(q + 8));
    }
    if (!importFinite(&corner[0]) || !importFinite(&corner[1]) || !importFinite(&corner[2])) break;
  }
  if (!importWeldMany(build, run->corners, 3 * (int32_t)good, run->indices)) return false;
  for (uint32_t i = 0; i < good; ++i)
    importAddTri(build, run->indices[3 * i], run->indices[3 * i + 1], run->indices[3 * i + 2], VXM_DEFAULT_COLOUR, false);
  if (good < count) {
    IMPORT_REFUSE("Triangle %u has a corner that is not a finite number.", first + good + 1);
    return false;
  }
  return true;
}

// The triangles of a binary file, read a run at a time rather than whole: the file's bytes never
// take a large block of their own. The count is checked against the limit first.
static bool stlReadBinary(FILE* file, const char* path, uint32_t count, ImportBuild* build) {
  if (!importReserveTris(build, count, false, false)) return false;
  // A closed surface has about half as many vertices as triangles.
  importWeldExpect(build, count / 2);
  importExpectFacets(build, 2 * (int64_t)count);
  StlRun* run = (StlRun*)vxmMemAlloc(sizeof(StlRun));
  if (!run) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  bool read = true;
  for (uint32_t first = 0; read && first < count;) {
    const uint32_t n = count - first < (uint32_t)STL_RUN ? count - first : (uint32_t)STL_RUN;
    if (std::fread(run->bytes, STL_BINARY_TRIANGLE, n, file) != n) {
      IMPORT_REFUSE("Failed to read file: %s", path);
      read = false;
    } else {
      read = stlBinaryTriangles(run, first, n, build);
      first += n;
    }
  }
  vxmMemFree(run);
  return read;
}

// --- ASCII -------------------------------------------------------------------------------------------

struct StlText {
  const char* at;  // the next character; the text ends with a zero byte
  int line;        // of `at`, from 1
};

static bool stlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// The next word: its start and length (0 at the end of the text).
static const char* stlWord(StlText* text, size_t* length) {
  while (stlSpace(*text->at)) {
    if (*text->at == '\n') ++text->line;
    ++text->at;
  }
  const char* word = text->at;
  while (*text->at && !stlSpace(*text->at)) ++text->at;
  *length = (size_t)(text->at - word);
  return word;
}

// Keywords in any case: some programs write them in capitals.
static bool stlIs(const char* word, size_t length, const char* keyword) {
  if (length != std::strlen(keyword)) return false;
  for (size_t i = 0; i < length; ++i)
    if ((word[i] | 0x20) != keyword[i]) return false;
  return true;
}

static void stlSkipLine(StlText* text) {
  while (*text->at && *text->at != '\n') ++text->at;
}

static bool stlNumber(StlText* text, double* value) {
  size_t length;
  const char* word = stlWord(text, &length);
  char* end = nullptr;
  if (length > 0) *value = importNumber(word, &end);
  if (length == 0 || end != word + length) {
    IMPORT_REFUSE("Line %d: a number was expected.", text->line);
    return false;
  }
  return true;
}

static bool stlVertex(StlText* text, ImportBuild* build, int32_t* index) {
  double x, y, z;
  if (!stlNumber(text, &x) || !stlNumber(text, &y) || !stlNumber(text, &z)) return false;
  VxmVector v = importFromZUp(x, y, z);
  if (!importFinite(&v)) {
    IMPORT_REFUSE("Line %d: a corner that is not a finite number.", text->line);
    return false;
  }
  *index = importWeld(build, &v);
  return *index >= 0;
}

// One "outer loop ... endloop": its corners, fanned into triangles from the first.
static bool stlLoop(StlText* text, ImportBuild* build) {
  int32_t corners[STL_LOOP_CORNERS];
  int count = 0;
  for (;;) {
    size_t length;
    const char* word = stlWord(text, &length);
    if (stlIs(word, length, "endloop")) break;
    if (!stlIs(word, length, "vertex") || count == STL_LOOP_CORNERS) {
      IMPORT_REFUSE("Line %d: \"vertex\" or \"endloop\" was expected.", text->line);
      return false;
    }
    if (!stlVertex(text, build, &corners[count++])) return false;
  }
  if (count < 3) {
    IMPORT_REFUSE("Line %d: a facet has %d corners.", text->line, count);
    return false;
  }
  if (!importReserveTris(build, count - 2, false, false)) return false;
  for (int k = 2; k < count; ++k) importAddTri(build, corners[0], corners[k - 1], corners[k], VXM_DEFAULT_COLOUR, false);
  return true;
}

// Words outside loops: "solid"/"endsolid" with the rest of their line, "facet normal x y z",
// "outer loop", "endfacet"; anything else refuses the file.
static bool stlReadText(const ImportBytes* bytes, ImportBuild* build) {
  StlText text = {(const char*)bytes->data, 1};
  if ((int64_t)std::strlen(text.at) != bytes->size) {
    IMPORT_REFUSE("The file is neither a binary STL file nor text.");
    return false;
  }
  for (;;) {
    size_t length;
    const char* word = stlWord(&text, &length);
    if (length == 0) return true;
    if (stlIs(word, length, "solid") || stlIs(word, length, "endsolid")) {
      stlSkipLine(&text);
    } else if (stlIs(word, length, "facet")) {
      word = stlWord(&text, &length);
      double normal;
      if (!stlIs(word, length, "normal")) {
        IMPORT_REFUSE("Line %d: \"normal\" was expected.", text.line);
        return false;
      }
      for (int k = 0; k < 3; ++k)
        if (!stlNumber(&text, &normal)) return false;
    } else if (stlIs(word, length, "outer")) {
      word = stlWord(&text, &length);
      if (!stlIs(word, length, "loop")) {
        IMPORT_REFUSE("Line %d: \"loop\" was expected.", text.line);
        return false;
      }
      if (!stlLoop(&text, build)) return false;
    } else if (!stlIs(word, length, "endfacet")) {
      IMPORT_REFUSE("Line %d: \"%.*s\" is not an STL keyword.", text.line, (int)(length < 32 ? length : 32), word);
      return false;
    }
  }
}

static bool stlStartsWithSolid(const ImportBytes* bytes) {
  const char* p = (const char*)bytes->data;
  while (stlSpace(*p)) ++p;
  size_t length = 0;
  while (p[length] && !stlSpace(p[length])) ++length;
  return stlIs(p, length, "solid");
}

VxmModel* vxmModelLoadSTL(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  char path[APP_PATH_LENGTH];
  FILE* file;
  int64_t size;
  if (!importLocate(fileName, path) || !importOpenFile(path, &file, &size)) return nullptr;
  uint8_t start[STL_BINARY_START];
  const bool binary = size >= STL_BINARY_START && std::fread(start, 1, sizeof start, file) == sizeof start &&
                      stlIsBinary(size, start);
  ImportBuild build;
  importBegin(&build);
  bool read;
  if (binary) {
    read = stlReadBinary(file, path, stlU32(start + STL_HEADER), &build);
    std::fclose(file);
  } else {
    ImportBytes bytes;
    if (!importReadOpenFile(file, path, size, &bytes)) return nullptr;
    if (stlStartsWithSolid(&bytes)) {
      read = stlReadText(&bytes, &build);
    } else {
      uint32_t count = bytes.size >= STL_BINARY_START ? stlU32(bytes.data + STL_HEADER) : 0;
      IMPORT_REFUSE("The file is not an STL file: it has %lld bytes, where a binary file of %u triangles has %lld.",
                    (long long)bytes.size, count, (long long)STL_BINARY_START + (long long)STL_BINARY_TRIANGLE * count);
      read = false;
    }
    importFreeBytes(&bytes);
  }
  VxmModel* model = read ? importFinish(&build) : nullptr;
  importEnd(&build);
  if (!model) APP_TRACE("Failed to import STL file: %s", path);
  return model;
}
