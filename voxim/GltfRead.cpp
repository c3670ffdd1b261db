// GltfRead.cpp: the glTF 2.0 reader (.gltf text with its buffers, .glb binary): triangle
// primitives of the default scene's node tree, transformed and merged into one model, each
// triangle coloured by its material's base colour times the average of its corners' COLOR_0.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "ImportInternal.h"
#include "ImportLibs.h"
#include "app.h"
#include "vxmMem.h"

enum {
  GLB_HEADER = 12,
  GLB_CHUNK_HEADER = 8,
  GLB_MAGIC = 0x46546C67,       // "glTF"
  GLB_JSON = 0x4E4F534A,        // "JSON"
  GLB_BIN = 0x004E4942,         // "BIN\0"
  GLTF_MAX_DEPTH = 256,         // nodes below the scene; real files nest a few dozen
  GLTF_FLOAT = 5126,
  GLTF_UNSIGNED_BYTE = 5121,
  GLTF_UNSIGNED_SHORT = 5123,
  GLTF_UNSIGNED_INT = 5125,
};

// Extensions a file may require that do not change what this reader takes from it.
static const char* const gltfSupportedExtensions[] = {"KHR_materials_unlit"};

struct GltfBuffer {
  const uint8_t* data;  // null until the first accessor reads it
  int64_t size;         // the buffer's byteLength
  ImportBytes owned;    // a file's or a data URI's bytes
};

// The array of a top-level member ("nodes", "meshes", ...), its elements found by index.
struct GltfArray {
  int32_t* tokens;
  int32_t count;
  const char* name;  // for messages: "node", "mesh", ...
};

struct Gltf {
  JsonDoc json;
  const char* path;
  const uint8_t* bin;  // the .glb's BIN chunk, or null
  int64_t binSize;
  GltfArray accessors, bufferViews, buffers, meshes, nodes, materials, scenes, textures, images;
  GltfBuffer* bufferData;
  uint8_t* nodeState;  // 0 not reached, 1 on the current path, 2 done
  ImportBuild* build;
};

// What an accessor reads, every byte of it checked to lie in its buffer.
struct GltfView {
  const uint8_t* data;  // element 0
  int64_t stride;
  int32_t count;
  int32_t componentType;
  int32_t components;
  bool normalized;
};

// A column-major 4 x 4 matrix, as glTF writes them.
struct GltfMatrix {
  double m[16];
};

// --- JSON values ----------------------------------------------------------------------------------

// A whole number member within [low, high]; `fallback` when absent. Refused otherwise.
static bool gltfInt(const Gltf* g, int32_t object, const char* key, int64_t fallback, int64_t low, int64_t high,
                    int64_t* value) {
  int32_t token = jsonMember(&g->json, object, key);
  if (token < 0) {
    *value = fallback;
    return true;
  }
  double number;
  if (!jsonNumber(&g->json, token, &number) || number != std::floor(number) || number < (double)low ||
      number > (double)high) {
    IMPORT_REFUSE("\"%s\" is not a whole number from %lld to %lld.", key, (long long)low, (long long)high);
    return false;
  }
  *value = (int64_t)number;
  return true;
}

// An index member naming an element of `array`; -1 when absent and not required.
static bool gltfIndex(const Gltf* g, int32_t object, const char* key, const GltfArray* array, bool required,
                      int32_t* index) {
  int64_t value;
  if (jsonMember(&g->json, object, key) < 0 && required) {
    IMPORT_REFUSE("A %s index (\"%s\") is missing.", array->name, key);
    return false;
  }
  if (!gltfInt(g, object, key, -1, 0, INT32_MAX, &value)) return false;
  if (value >= array->count) {
    IMPORT_REFUSE("The file has no %s %lld; it has %d.", array->name, (long long)value, (int)array->count);
    return false;
  }
  *index = (int32_t)value;
  return true;
}

// `count` finite numbers of an array member into `values`; false when absent (values untouched),
// refused when it is not such an array.
static bool gltfNumbers(const Gltf* g, int32_t object, const char* key, int count, double* values, bool* present) {
  int32_t token = jsonMember(&g->json, object, key);
  *present = token >= 0;
  if (token < 0) return true;
  if (jsonKind(&g->json, token) != JSON_ARRAY || g->json.tokens[token].size != count) {
    IMPORT_REFUSE("\"%s\" is not an array of %d numbers.", key, count);
    return false;
  }
  int32_t element = jsonFirst(&g->json, token);
  for (int k = 0; k < count; ++k, element = jsonNext(&g->json, element))
    if (!jsonNumber(&g->json, element, &values[k])) {
      IMPORT_REFUSE("\"%s\" holds a value that is not a finite number.", key);
      return false;
    }
  return true;
}

static bool gltfArray(Gltf* g, const char* key, const char* name, GltfArray* array) {
  array->tokens = nullptr;
  array->count = 0;
  array->name = name;
  int32_t token = jsonMember(&g->json, 0, key);
  if (token < 0) return true;
  if (jsonKind(&g->json, token) != JSON_ARRAY) {
    IMPORT_REFUSE("\"%s\" is not an array.", key);
    return false;
  }
  int32_t count = g->json.tokens[token].size;
  array->tokens = (int32_t*)vxmMemAlloc(sizeof(int32_t) * (size_t)(count > 0 ? count : 1));
  if (!array->tokens) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  int32_t element = jsonFirst(&g->json, token);
  for (int32_t i = 0; i < count; ++i, element = jsonNext(&g->json, element)) {
    if (jsonKind(&g->json, element) != JSON_OBJECT) {
      IMPORT_REFUSE("%s %d is not an object.", name, (int)i);
      return false;
    }
    array->tokens[i] = element;
  }
  array->count = count;
  return true;
}

// --- The file ---------------------------------------------------------------------------------------

static uint32_t gltfU32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// The JSON text of a .gltf file, or of a .glb's first chunk with its BIN chunk beside it.
static bool gltfSplit(Gltf* g, const ImportBytes* file, const char** json, int64_t* jsonSize) {
  const uint8_t* p = file->data;
  if (file->size < 4 || gltfU32(p) != GLB_MAGIC) {
    *json = (const char*)p;
    *jsonSize = file->size;
    return true;
  }
  if (file->size < GLB_HEADER + GLB_CHUNK_HEADER || gltfU32(p + 4) != 2) {
    IMPORT_REFUSE("The binary glTF file is not of version 2 or is too short.");
    return false;
  }
  int64_t length = gltfU32(p + 8);
  if (length > file->size) {
    IMPORT_REFUSE("The binary glTF file claims %lld bytes but has %lld.", (long long)length, (long long)file->size);
    return false;
  }
  int64_t at = GLB_HEADER;
  int64_t chunk = gltfU32(p + at);
  if (gltfU32(p + at + 4) != GLB_JSON || chunk > length - at - GLB_CHUNK_HEADER) {
    IMPORT_REFUSE("The binary glTF file's first chunk is not JSON within the file.");
    return false;
  }
  *json = (const char*)p + at + GLB_CHUNK_HEADER;
  *jsonSize = chunk;
  at += GLB_CHUNK_HEADER + chunk;
  at += (4 - at % 4) % 4;  // chunks start on four-byte boundaries
  if (at + GLB_CHUNK_HEADER <= length && gltfU32(p + at + 4) == GLB_BIN) {
    int64_t binSize = gltfU32(p + at);
    if (binSize > length - at - GLB_CHUNK_HEADER) {
      IMPORT_REFUSE("The binary glTF file's BIN chunk claims %lld bytes but has %lld.", (long long)binSize,
                    (long long)(length - at - GLB_CHUNK_HEADER));
      return false;
    }
    g->bin = p + at + GLB_CHUNK_HEADER;
    g->binSize = binSize;
  }
  return true;
}

static bool gltfCheckAsset(const Gltf* g) {
  int32_t version = jsonMember(&g->json, jsonMember(&g->json, 0, "asset"), "version");
  if (!jsonStringIs(&g->json, version, "2.0")) {
    IMPORT_REFUSE("The file is not glTF 2.0.");
    return false;
  }
  int32_t required = jsonMember(&g->json, 0, "extensionsRequired");
  if (required < 0) return true;
  char names[256] = "";
  size_t used = 0;
  int32_t element = jsonFirst(&g->json, required);
  for (int32_t i = 0; jsonKind(&g->json, required) == JSON_ARRAY && i < g->json.tokens[required].size;
       ++i, element = jsonNext(&g->json, element)) {
    bool supported = false;
    for (const char* name : gltfSupportedExtensions) supported = supported || jsonStringIs(&g->json, element, name);
    if (supported) continue;
    const JsonToken* t = &g->json.tokens[element];
    int written = std::snprintf(names + used, sizeof names - used, "%s%.*s", used ? ", " : "",
                                (int)(t->end - t->start < 64 ? t->end - t->start : 64), g->json.text + t->start);
    if (written > 0) used += (size_t)written < sizeof names - used ? (size_t)written : sizeof names - 1 - used;
  }
  if (used > 0) {
    IMPORT_REFUSE("The file requires glTF extensions that Quirla does not support: %s.", names);
    return false;
  }
  return true;
}

// --- Buffers --------------------------------------------------------------------------------------

static int gltfBase64Value(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// True for base64 text: its digits, then up to two '=' of padding.
static bool gltfIsBase64(const char* text, int64_t length) {
  while (length > 0 && text[length - 1] == '=') --length;
  if (length % 4 == 1) return false;
  for (int64_t i = 0; i < length; ++i)
    if (gltfBase64Value((uint8_t)text[i]) < 0) return false;
  return true;
}

// Decodes text that gltfIsBase64 accepted; false only when memory runs out.
static bool gltfBase64(const char* text, int64_t length, ImportBytes* bytes) {
  while (length > 0 && text[length - 1] == '=') --length;
  int64_t size = length / 4 * 3 + (length % 4 ? length % 4 - 1 : 0);
  bytes->data = (uint8_t*)vxmMemAlloc((size_t)size + 1);
  if (!bytes->data) return false;
  bytes->size = size;
  uint32_t bits = 0;
  int held = 0;
  int64_t out = 0;
  for (int64_t i = 0; i < length; ++i) {
    bits = bits << 6 | (uint32_t)gltfBase64Value((uint8_t)text[i]);
    held += 6;
    if (held >= 8) {
      held -= 8;
      bytes->data[out++] = (uint8_t)(bits >> held);
    }
  }
  return true;
}

static int gltfHexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A relative URI as a file name: %XX escapes decoded; false when it does not fit or is malformed.
static bool gltfUriName(const char* uri, int32_t length, char* name) {
  int32_t used = 0;
  for (int32_t i = 0; i < length; ++i) {
    char c = uri[i];
    if (c == '%') {
      if (i + 2 >= length || gltfHexValue(uri[i + 1]) < 0 || gltfHexValue(uri[i + 2]) < 0) return false;
      c = (char)(gltfHexValue(uri[i + 1]) * 16 + gltfHexValue(uri[i + 2]));
      i += 2;
    }
    if (c == 0 || c == '\\' || used >= APP_PATH_LENGTH - 1) return false;
    name[used++] = c;
  }
  name[used] = 0;
  return true;
}

// Loads buffer `index` from the GLB's BIN chunk, a data URI or a file beside the model.
static bool gltfLoadBuffer(Gltf* g, int32_t index) {
  GltfBuffer* buffer = &g->bufferData[index];
  int32_t object = g->buffers.tokens[index];
  int64_t byteLength;
  if (!gltfInt(g, object, "byteLength", -1, 0, INT32_MAX, &byteLength)) return false;
  if (byteLength < 0) {
    IMPORT_REFUSE("Buffer %d has no byteLength.", (int)index);
    return false;
  }
  int32_t uri = jsonMember(&g->json, object, "uri");
  const uint8_t* data;
  int64_t size;
  if (uri < 0) {
    if (!g->bin) {
      IMPORT_REFUSE("Buffer %d has no URI and the file no BIN chunk.", (int)index);
      return false;
    }
    data = g->bin, size = g->binSize;
  } else {
    if (jsonKind(&g->json, uri) != JSON_STRING) {
      IMPORT_REFUSE("The URI of buffer %d is not a string.", (int)index);
      return false;
    }
    const char* text = g->json.text + g->json.tokens[uri].start;
    int32_t length = g->json.tokens[uri].end - g->json.tokens[uri].start;
    if (length >= 5 && std::memcmp(text, "data:", 5) == 0) {
      const char* comma = (const char*)std::memchr(text, ',', (size_t)length);
      int64_t digits = comma ? length - (comma + 1 - text) : 0;
      if (!comma || comma - text < 12 || std::memcmp(comma - 7, ";base64", 7) != 0 || !gltfIsBase64(comma + 1, digits)) {
        IMPORT_REFUSE("The data URI of buffer %d is not base64.", (int)index);
        return false;
      }
      if (!gltfBase64(comma + 1, digits, &buffer->owned)) {
        IMPORT_OUT_OF_MEMORY();
        return false;
      }
    } else {
      char name[APP_PATH_LENGTH], path[APP_PATH_LENGTH];
      if (!gltfUriName(text, length, name)) {
        IMPORT_REFUSE("The URI of buffer %d is not a file name.", (int)index);
        return false;
      }
      if (!importBesidePath(g->path, name, path) || !importReadFile(path, &buffer->owned)) return false;
    }
    data = buffer->owned.data, size = buffer->owned.size;
  }
  if (size < byteLength) {
    IMPORT_REFUSE("Buffer %d holds %lld bytes of the %lld it claims.", (int)index, (long long)size,
                  (long long)byteLength);
    return false;
  }
  buffer->data = data;
  buffer->size = byteLength;
  return true;
}

static int gltfComponents(const Gltf* g, int32_t type) {
  static const struct {
    const char* name;
    int components;
  } types[] = {{"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
  for (const auto& t : types)
    if (jsonStringIs(&g->json, type, t.name)) return t.components;
  return 0;
}

static int gltfComponentSize(int64_t componentType) {
  switch (componentType) {
    case 5120: case 5121: return 1;
    case 5122: case 5123: return 2;
    case 5125: case 5126: return 4;
    default: return 0;
  }
}

// The bytes of a buffer view, checked to lie in its buffer.
static bool gltfViewBytes(Gltf* g, int32_t viewIndex, const uint8_t** bytes, int64_t* size) {
  int32_t viewObject = g->bufferViews.tokens[viewIndex];
  int32_t bufferIndex;
  int64_t offset, length;
  if (!gltfIndex(g, viewObject, "buffer", &g->buffers, true, &bufferIndex) ||
      !gltfInt(g, viewObject, "byteOffset", 0, 0, INT32_MAX, &offset) ||
      !gltfInt(g, viewObject, "byteLength", -1, 1, INT32_MAX, &length))
    return false;
  if (length < 1) {
    IMPORT_REFUSE("Buffer view %d has no byteLength.", (int)viewIndex);
    return false;
  }
  GltfBuffer* buffer = &g->bufferData[bufferIndex];
  if (!buffer->data && !gltfLoadBuffer(g, bufferIndex)) return false;
  if (offset + length > buffer->size) {
    IMPORT_REFUSE("Buffer view %d ends at byte %lld of buffer %d, which has %lld.", (int)viewIndex,
                  (long long)(offset + length), (int)bufferIndex, (long long)buffer->size);
    return false;
  }
  *bytes = buffer->data + offset;
  *size = length;
  return true;
}

// Accessor `index` with every byte it reads inside its buffer view and the view inside its buffer.
static bool gltfAccessor(Gltf* g, int32_t index, GltfView* view) {
  int32_t object = g->accessors.tokens[index];
  if (jsonMember(&g->json, object, "sparse") >= 0) {
    IMPORT_REFUSE("Accessor %d is sparse, which Quirla does not take.", (int)index);
    return false;
  }
  int32_t viewIndex;
  int64_t componentType, count, offset;
  if (!gltfIndex(g, object, "bufferView", &g->bufferViews, true, &viewIndex) ||
      !gltfInt(g, object, "componentType", 0, 0, INT32_MAX, &componentType) ||
      !gltfInt(g, object, "count", -1, 1, INT32_MAX, &count) || !gltfInt(g, object, "byteOffset", 0, 0, INT32_MAX, &offset))
    return false;
  int components = gltfComponents(g, jsonMember(&g->json, object, "type"));
  int size = gltfComponentSize(componentType);
  if (components == 0 || size == 0 || count < 1) {
    IMPORT_REFUSE("Accessor %d has no valid type, component type or count.", (int)index);
    return false;
  }
  const uint8_t* viewBytes;
  int64_t viewLength, stride;
  if (!gltfViewBytes(g, viewIndex, &viewBytes, &viewLength) ||
      !gltfInt(g, g->bufferViews.tokens[viewIndex], "byteStride", 0, 4, 252, &stride))
    return false;
  int64_t element = (int64_t)size * components;
  if (stride == 0) stride = element;
  int64_t end = offset + stride * (count - 1) + element;
  if (end > viewLength) {
    IMPORT_REFUSE("Accessor %d ends at byte %lld of buffer view %d, which has %lld.", (int)index, (long long)end,
                  (int)viewIndex, (long long)viewLength);
    return false;
  }
  int32_t normalized = jsonMember(&g->json, object, "normalized");
  view->data = viewBytes + offset;
  view->stride = stride;
  view->count = (int32_t)count;
  view->componentType = (int32_t)componentType;
  view->components = components;
  view->normalized = normalized >= 0 && jsonKind(&g->json, normalized) == JSON_TRUE;
  return true;
}

// Component k of element i, as a number; normalized integers as 0..1.
static double gltfRead(const GltfView* view, int32_t i, int k) {
  const uint8_t* p = view->data + view->stride * i;
  switch (view->componentType) {
    case GLTF_FLOAT: {
      float value;
      std::memcpy(&value, p + 4 * k, 4);
      return value;
    }
    case GLTF_UNSIGNED_BYTE: return view->normalized ? p[k] / 255.0 : p[k];
    case GLTF_UNSIGNED_SHORT: {
      uint16_t value = (uint16_t)(p[2 * k] | p[2 * k + 1] << 8);
      return view->normalized ? value / 65535.0 : value;
    }
    case GLTF_UNSIGNED_INT: return gltfU32(p + 4 * k);
    case 5120: return view->normalized ? std::fmax((int8_t)p[k] / 127.0, -1.0) : (int8_t)p[k];
    default: {
      int16_t value = (int16_t)(p[2 * k] | p[2 * k + 1] << 8);
      return view->normalized ? std::fmax(value / 32767.0, -1.0) : value;
    }
  }
}

// True when every float of the view's first `count` elements is finite (whole numbers always are).
static bool gltfFinite(const GltfView* view, int32_t count) {
  if (view->componentType != GLTF_FLOAT) return true;
  for (int32_t i = 0; i < count; ++i)
    for (int k = 0; k < view->components; ++k)
      if (!std::isfinite(gltfRead(view, i, k))) return false;
  return true;
}

static uint32_t gltfIndexAt(const GltfView* view, int32_t i) {
  const uint8_t* p = view->data + view->stride * i;
  switch (view->componentType) {
    case GLTF_UNSIGNED_BYTE: return p[0];
    case GLTF_UNSIGNED_SHORT: return (uint32_t)(p[0] | p[1] << 8);
    default: return gltfU32(p);
  }
}

// --- Transforms -----------------------------------------------------------------------------------

static void gltfMultiply(const GltfMatrix* a, const GltfMatrix* b, GltfMatrix* result) {
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 4; ++row) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a->m[k * 4 + row] * b->m[column * 4 + k];
      result->m[column * 4 + row] = sum;
    }
}

static void gltfIdentity(GltfMatrix* m) {
  std::memset(m, 0, sizeof *m);
  m->m[0] = m->m[5] = m->m[10] = m->m[15] = 1;
}

// A node's own transform: its matrix, or translation x rotation x scale.
static bool gltfLocal(const Gltf* g, int32_t node, GltfMatrix* local) {
  bool present;
  gltfIdentity(local);
  if (!gltfNumbers(g, node, "matrix", 16, local->m, &present)) return false;
  if (present) return true;
  double t[3] = {0, 0, 0}, r[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
  if (!gltfNumbers(g, node, "translation", 3, t, &present) || !gltfNumbers(g, node, "rotation", 4, r, &present) ||
      !gltfNumbers(g, node, "scale", 3, s, &present))
    return false;
  double x = r[0], y = r[1], z = r[2], w = r[3];
  double rotation[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                        2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                        2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  for (int column = 0; column < 3; ++column)
    for (int row = 0; row < 3; ++row) local->m[column * 4 + row] = rotation[column * 3 + row] * s[column];
  local->m[12] = t[0], local->m[13] = t[1], local->m[14] = t[2];
  return true;
}

static double gltfDeterminant(const GltfMatrix* m) {
  const double* a = m->m;
  return a[0] * (a[5] * a[10] - a[9] * a[6]) - a[4] * (a[1] * a[10] - a[9] * a[2]) + a[8] * (a[1] * a[6] - a[5] * a[2]);
}

// --- Primitives -----------------------------------------------------------------------------------

struct GltfLook {
  double factor[3];  // base colour factor, linear
  bool oneSided;
  bool plain;        // no material and no vertex colours: the model's default colour
  int32_t picture;   // the base colour texture's picture in the build, or -1
  int64_t texCoord;  // its TEXCOORD_<n>
};

// The picture of image `index`, decoded the first time a material shows it: -1 when it cannot
// be decoded or found (its facets keep their colour); false when the file is hostile.
static bool gltfImagePicture(Gltf* g, int32_t index, int32_t* picture) {
  char key[32];
  std::snprintf(key, sizeof key, "#%d", (int)index);
  *picture = importFindPicture(g->build, key);
  if (*picture >= 0) return true;
  int32_t image = g->images.tokens[index];
  int32_t uri = jsonMember(&g->json, image, "uri");
  char path[APP_PATH_LENGTH];
  ImportBytes owned = {nullptr, 0};
  const uint8_t* bytes = nullptr;
  int64_t size = 0;
  // Pictures inside the file are named after it; written beside a saved model they become BMP files.
  std::snprintf(path, sizeof path, "%s#image%d", g->path, (int)index);
  if (uri >= 0) {
    if (jsonKind(&g->json, uri) != JSON_STRING) {
      IMPORT_REFUSE("The URI of image %d is not a string.", (int)index);
      return false;
    }
    const char* text = g->json.text + g->json.tokens[uri].start;
    int32_t length = g->json.tokens[uri].end - g->json.tokens[uri].start;
    const char* comma = (const char*)std::memchr(text, ',', (size_t)length);
    if (length >= 5 && std::memcmp(text, "data:", 5) == 0) {
      int64_t digits = comma ? length - (comma + 1 - text) : 0;
      if (!comma || comma - text < 12 || std::memcmp(comma - 7, ";base64", 7) != 0 || !gltfIsBase64(comma + 1, digits)) {
        IMPORT_REFUSE("The data URI of image %d is not base64.", (int)index);
        return false;
      }
      if (!gltfBase64(comma + 1, digits, &owned)) {
        IMPORT_OUT_OF_MEMORY();
        return false;
      }
    } else {
      char name[APP_PATH_LENGTH];
      if (!gltfUriName(text, length, name)) {
        IMPORT_REFUSE("The URI of image %d is not a file name.", (int)index);
        return false;
      }
      if (!importBesidePath(g->path, name, path)) return false;
      if (!appFileExists(path)) {
        APP_TRACE("Picture not found: %s", path);
        return true;
      }
      if (!importReadFile(path, &owned)) return false;
    }
    bytes = owned.data, size = owned.size;
  } else {
    int32_t view;
    if (!gltfIndex(g, image, "bufferView", &g->bufferViews, true, &view) || !gltfViewBytes(g, view, &bytes, &size))
      return false;
  }
  *picture = importAddPicture(g->build, key, path, bytes, size);
  importFreeBytes(&owned);
  return true;
}

// The base colour texture of a material: its picture and coordinate set.
static bool gltfBaseTexture(Gltf* g, int32_t pbr, GltfLook* look) {
  int32_t info = jsonMember(&g->json, pbr, "baseColorTexture");
  if (info < 0) return true;
  int32_t texture, image;
  if (!gltfIndex(g, info, "index", &g->textures, true, &texture) ||
      !gltfInt(g, info, "texCoord", 0, 0, 7, &look->texCoord) ||
      !gltfIndex(g, g->textures.tokens[texture], "source", &g->images, false, &image))
    return false;
  return image < 0 || gltfImagePicture(g, image, &look->picture);
}

static bool gltfMaterial(Gltf* g, int32_t primitive, GltfLook* look) {
  int32_t index;
  look->factor[0] = look->factor[1] = look->factor[2] = 1;
  look->oneSided = true;  // glTF's default material has one side
  look->plain = true;
  look->picture = -1;
  look->texCoord = 0;
  if (!gltfIndex(g, primitive, "material", &g->materials, false, &index)) return false;
  if (index < 0) return true;
  look->plain = false;
  int32_t material = g->materials.tokens[index];
  double factor[4] = {1, 1, 1, 1};
  bool present;
  int32_t pbr = jsonMember(&g->json, material, "pbrMetallicRoughness");
  if (pbr >= 0 && (!gltfNumbers(g, pbr, "baseColorFactor", 4, factor, &present) || !gltfBaseTexture(g, pbr, look)))
    return false;
  for (int k = 0; k < 3; ++k) look->factor[k] = factor[k];
  look->oneSided = jsonKind(&g->json, jsonMember(&g->json, material, "doubleSided")) != JSON_TRUE;
  return true;
}

static uint32_t gltfTriColour(const GltfLook* look, const GltfView* colours, const uint32_t corner[3]) {
  if (look->plain && !colours) return VXM_DEFAULT_COLOUR;
  double rgb[3];
  for (int c = 0; c < 3; ++c) {
    double average = 1;
    if (colours) average = (gltfRead(colours, (int32_t)corner[0], c) + gltfRead(colours, (int32_t)corner[1], c) +
                            gltfRead(colours, (int32_t)corner[2], c)) / 3;
    rgb[c] = importLinearToSrgb(look->factor[c] * average);
  }
  return importColour(rgb[0], rgb[1], rgb[2]);
}

// The corners of triangle t of a primitive of `count` corners drawn in `mode`.
static void gltfTriangleCorners(int64_t mode, int32_t t, uint32_t corner[3]) {
  if (mode == 4) {
    corner[0] = (uint32_t)(3 * t), corner[1] = (uint32_t)(3 * t + 1), corner[2] = (uint32_t)(3 * t + 2);
  } else if (mode == 5) {  // strip: every second triangle turned so that all wind alike
    corner[0] = (uint32_t)(t + (t & 1)), corner[1] = (uint32_t)(t + 1 - (t & 1)), corner[2] = (uint32_t)(t + 2);
  } else {  // fan
    corner[0] = 0, corner[1] = (uint32_t)(t + 1), corner[2] = (uint32_t)(t + 2);
  }
}

// A triangle primitive's accessors, each checked against its buffer and its positions.
struct GltfPrimitive {
  int32_t mesh;  // for messages
  int64_t mode;  // 4 triangles, 5 strip, 6 fan
  GltfView positions, colours, indices, coords;
  bool hasColours, hasIndices;
  int32_t corners;  // indices, or positions when there are none
  GltfLook look;
};

// A per-vertex attribute (COLOR_0, TEXCOORD_n): absent, or one element of `low` to `high` floats,
// or normalised bytes or shorts, for each position, every float finite.
static bool gltfVertexAttribute(Gltf* g, int32_t attributes, const char* name, const GltfPrimitive* p, int low,
                                int high, const char* what, GltfView* view, bool* present) {
  int32_t index;
  if (!gltfIndex(g, attributes, name, &g->accessors, false, &index)) return false;
  *present = index >= 0;
  if (index < 0) return true;
  if (!gltfAccessor(g, index, view)) return false;
  bool unorm = view->componentType == GLTF_FLOAT ||
               ((view->componentType == GLTF_UNSIGNED_BYTE || view->componentType == GLTF_UNSIGNED_SHORT) &&
                view->normalized);
  if (!unorm || view->components < low || view->components > high || view->count < p->positions.count) {
    IMPORT_REFUSE("The %s of mesh %d are not one for each vertex.", what, (int)p->mesh);
    return false;
  }
  if (!gltfFinite(view, p->positions.count)) {
    IMPORT_REFUSE("The %s of mesh %d hold a value that is not a finite number.", what, (int)p->mesh);
    return false;
  }
  return true;
}

// Reads and checks what a primitive draws with; `drawn` false when it has no positions.
static bool gltfReadPrimitive(Gltf* g, int32_t primitive, GltfPrimitive* p, bool* drawn) {
  *drawn = false;
  if (!gltfInt(g, primitive, "mode", 4, 0, 6, &p->mode)) return false;
  if (p->mode < 4) {
    IMPORT_REFUSE("Mesh %d draws points or lines, which Quirla does not take.", (int)p->mesh);
    return false;
  }
  int32_t attributes = jsonMember(&g->json, primitive, "attributes");
  int32_t positionIndex, indicesIndex;
  if (!gltfIndex(g, attributes, "POSITION", &g->accessors, false, &positionIndex) ||
      !gltfIndex(g, primitive, "indices", &g->accessors, false, &indicesIndex))
    return false;
  if (positionIndex < 0) return true;
  if (!gltfAccessor(g, positionIndex, &p->positions)) return false;
  if (p->positions.componentType != GLTF_FLOAT || p->positions.components != 3) {
    IMPORT_REFUSE("The positions of mesh %d are not three floats each.", (int)p->mesh);
    return false;
  }
  if (!gltfVertexAttribute(g, attributes, "COLOR_0", p, 3, 4, "colours", &p->colours, &p->hasColours)) return false;
  p->hasIndices = indicesIndex >= 0;
  p->corners = p->positions.count;
  if (p->hasIndices) {
    if (!gltfAccessor(g, indicesIndex, &p->indices)) return false;
    if (p->indices.components != 1 || (p->indices.componentType != GLTF_UNSIGNED_BYTE &&
                                       p->indices.componentType != GLTF_UNSIGNED_SHORT &&
                                       p->indices.componentType != GLTF_UNSIGNED_INT)) {
      IMPORT_REFUSE("The indices of mesh %d are not unsigned whole numbers.", (int)p->mesh);
      return false;
    }
    p->corners = p->indices.count;
  }
  if (!gltfMaterial(g, primitive, &p->look)) return false;
  if (p->look.picture >= 0) {
    char name[16];
    bool present;
    std::snprintf(name, sizeof name, "TEXCOORD_%d", (int)p->look.texCoord);
    if (!gltfVertexAttribute(g, attributes, name, p, 2, 2, "texture coordinates", &p->coords, &present)) return false;
    if (!present) p->look.picture = -1;  // a picture without coordinates: the colour alone
  }
  *drawn = true;
  return true;
}

// The primitive's positions, transformed by the node's world matrix and mapped into the model's
// axes; `base` is the model index of the first.
static bool gltfAddVertices(ImportBuild* build, const GltfPrimitive* p, const GltfMatrix* world, int32_t* base) {
  *base = build->vertexCount;
  for (int32_t i = 0; i < p->positions.count; ++i) {
    double v[3] = {gltfRead(&p->positions, i, 0), gltfRead(&p->positions, i, 1), gltfRead(&p->positions, i, 2)};
    double q[3];
    for (int r = 0; r < 3; ++r) q[r] = world->m[r] * v[0] + world->m[4 + r] * v[1] + world->m[8 + r] * v[2] + world->m[12 + r];
    VxmVector mapped = importFromYUp(q[0], q[1], q[2]);
    if (!importFinite(&mapped)) {
      IMPORT_REFUSE("Vertex %d of mesh %d is not a finite number.", (int)i, (int)p->mesh);
      return false;
    }
    importAddVertex(build, &mapped);
  }
  return true;
}

// The primitive's triangles over the vertices from `base`, with their colours and pictures.
static bool gltfAddTriangles(ImportBuild* build, const GltfPrimitive* p, const GltfMatrix* world, int32_t base,
                             int32_t triangles) {
  // A mirroring transform turns the facets' fronts to the back: the winding turns with it.
  bool mirrored = gltfDeterminant(world) < 0;
  // Without vertex colours every triangle has the material's colour, worked out once.
  const uint32_t none[3] = {0, 0, 0};
  const uint32_t materialColour = p->hasColours ? 0 : gltfTriColour(&p->look, nullptr, none);
  for (int32_t t = 0; t < triangles; ++t) {
    uint32_t corner[3];
    gltfTriangleCorners(p->mode, t, corner);
    for (int k = 0; k < 3; ++k) {
      if (p->hasIndices) corner[k] = gltfIndexAt(&p->indices, (int32_t)corner[k]);
      if (corner[k] >= (uint32_t)p->positions.count) {
        IMPORT_REFUSE("Mesh %d has index %u; it has %d vertices.", (int)p->mesh, corner[k], (int)p->positions.count);
        return false;
      }
    }
    uint32_t colour = p->hasColours ? gltfTriColour(&p->look, &p->colours, corner) : materialColour;
    if (mirrored) std::swap(corner[1], corner[2]);
    int32_t a = base + (int32_t)corner[0], b = base + (int32_t)corner[1], c = base + (int32_t)corner[2];
    if (p->look.picture < 0) {
      importAddTri(build, a, b, c, colour, p->look.oneSided);
      continue;
    }
    // glTF's v runs down the picture; the model's up.
    float uv[6];
    for (int k = 0; k < 3; ++k) {
      uv[2 * k] = (float)gltfRead(&p->coords, (int32_t)corner[k], 0);
      uv[2 * k + 1] = (float)(1.0 - gltfRead(&p->coords, (int32_t)corner[k], 1));
    }
    importAddTexturedTri(build, a, b, c, colour, p->look.oneSided, p->look.picture, uv);
  }
  return true;
}

static bool gltfPrimitive(Gltf* g, int32_t primitive, const GltfMatrix* world, int32_t mesh) {
  GltfPrimitive p;
  p.mesh = mesh;
  bool drawn;
  if (!gltfReadPrimitive(g, primitive, &p, &drawn)) return false;
  if (!drawn) return true;  // no positions: nothing to draw
  int32_t triangles = p.mode == 4 ? p.corners / 3 : p.corners - 2;
  if (triangles < 1) return true;
  int32_t base;
  return importReserveTris(g->build, triangles, p.look.oneSided, p.look.picture >= 0) &&
         importReserveVertices(g->build, p.positions.count) && gltfAddVertices(g->build, &p, world, &base) &&
         gltfAddTriangles(g->build, &p, world, base, triangles);
}

static bool gltfMesh(Gltf* g, int32_t mesh, const GltfMatrix* world) {
  int32_t primitives = jsonMember(&g->json, g->meshes.tokens[mesh], "primitives");
  if (primitives < 0 || jsonKind(&g->json, primitives) != JSON_ARRAY) {
    IMPORT_REFUSE("Mesh %d has no primitives.", (int)mesh);
    return false;
  }
  int32_t primitive = jsonFirst(&g->json, primitives);
  for (int32_t i = 0; i < g->json.tokens[primitives].size; ++i, primitive = jsonNext(&g->json, primitive)) {
    if (jsonKind(&g->json, primitive) != JSON_OBJECT) {
      IMPORT_REFUSE("A primitive of mesh %d is not an object.", (int)mesh);
      return false;
    }
    if (!gltfPrimitive(g, primitive, world, mesh)) return false;
  }
  return true;
}

// --- The node tree ----------------------------------------------------------------------------------

static bool gltfNode(Gltf* g, int32_t node, const GltfMatrix* parent, int depth) {
  if (g->nodeState[node] == 1) {
    IMPORT_REFUSE("The nodes form a cycle through node %d.", (int)node);
    return false;
  }
  if (g->nodeState[node] == 2) {
    IMPORT_REFUSE("Node %d appears twice in the scene.", (int)node);
    return false;
  }
  if (depth >= GLTF_MAX_DEPTH) {
    IMPORT_REFUSE("The nodes nest deeper than %d.", (int)GLTF_MAX_DEPTH);
    return false;
  }
  g->nodeState[node] = 1;
  int32_t object = g->nodes.tokens[node];
  GltfMatrix local, world;
  int32_t mesh;
  if (!gltfLocal(g, object, &local)) return false;
  gltfMultiply(parent, &local, &world);
  if (!gltfIndex(g, object, "mesh", &g->meshes, false, &mesh)) return false;
  if (mesh >= 0 && !gltfMesh(g, mesh, &world)) return false;
  int32_t children = jsonMember(&g->json, object, "children");
  if (children >= 0) {
    if (jsonKind(&g->json, children) != JSON_ARRAY) {
      IMPORT_REFUSE("The children of node %d are not an array.", (int)node);
      return false;
    }
    int32_t child = jsonFirst(&g->json, children);
    for (int32_t i = 0; i < g->json.tokens[children].size; ++i, child = jsonNext(&g->json, child)) {
      double number;
      if (!jsonNumber(&g->json, child, &number) || number != std::floor(number) || number < 0 ||
          number >= g->nodes.count) {
        IMPORT_REFUSE("Node %d names a child that does not exist.", (int)node);
        return false;
      }
      if (!gltfNode(g, (int32_t)number, &world, depth + 1)) return false;
    }
  }
  g->nodeState[node] = 2;
  return true;
}

// The default scene's root nodes (or, without scenes, every node that is no node's child).
static bool gltfScene(Gltf* g) {
  g->nodeState = (uint8_t*)vxmMemCalloc((size_t)(g->nodes.count > 0 ? g->nodes.count : 1), 1);
  if (!g->nodeState) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  GltfMatrix identity;
  gltfIdentity(&identity);
  // A file without scenes is taken whole, whichever scene it names.
  int32_t sceneIndex = -1;
  if (g->scenes.count > 0 && !gltfIndex(g, 0, "scene", &g->scenes, false, &sceneIndex)) return false;
  if (sceneIndex < 0 && g->scenes.count > 0) sceneIndex = 0;
  if (sceneIndex >= 0) {
    int32_t roots = jsonMember(&g->json, g->scenes.tokens[sceneIndex], "nodes");
    if (roots < 0) return true;
    if (jsonKind(&g->json, roots) != JSON_ARRAY) {
      IMPORT_REFUSE("The nodes of scene %d are not an array.", (int)sceneIndex);
      return false;
    }
    int32_t root = jsonFirst(&g->json, roots);
    for (int32_t i = 0; i < g->json.tokens[roots].size; ++i, root = jsonNext(&g->json, root)) {
      double number;
      if (!jsonNumber(&g->json, root, &number) || number != std::floor(number) || number < 0 ||
          number >= g->nodes.count) {
        IMPORT_REFUSE("Scene %d names a node that does not exist.", (int)sceneIndex);
        return false;
      }
      if (!gltfNode(g, (int32_t)number, &identity, 0)) return false;
    }
    return true;
  }
  // No scene: mark every child, then walk from the nodes left unmarked.
  for (int32_t n = 0; n < g->nodes.count; ++n) {
    int32_t children = jsonMember(&g->json, g->nodes.tokens[n], "children");
    int32_t child = jsonFirst(&g->json, children);
    for (int32_t i = 0; children >= 0 && jsonKind(&g->json, children) == JSON_ARRAY && i < g->json.tokens[children].size;
         ++i, child = jsonNext(&g->json, child)) {
      double number;
      if (jsonNumber(&g->json, child, &number) && number >= 0 && number < g->nodes.count) g->nodeState[(int32_t)number] = 3;
    }
  }
  for (int32_t n = 0; n < g->nodes.count; ++n)
    if (g->nodeState[n] == 3) g->nodeState[n] = 0;
    else if (g->nodeState[n] == 0 && !gltfNode(g, n, &identity, 0)) return false;
  return true;
}

// --- Loading ------------------------------------------------------------------------------------------

static bool gltfReadFile(Gltf* g, const ImportBytes* file) {
  const char* json;
  int64_t jsonSize;
  if (!gltfSplit(g, file, &json, &jsonSize) || !jsonParse(&g->json, json, (size_t)jsonSize)) return false;
  if (jsonKind(&g->json, 0) != JSON_OBJECT) {
    IMPORT_REFUSE("The file is not a glTF object.");
    return false;
  }
  if (!gltfCheckAsset(g) || !gltfArray(g, "accessors", "accessor", &g->accessors) ||
      !gltfArray(g, "bufferViews", "buffer view", &g->bufferViews) || !gltfArray(g, "buffers", "buffer", &g->buffers) ||
      !gltfArray(g, "meshes", "mesh", &g->meshes) || !gltfArray(g, "nodes", "node", &g->nodes) ||
      !gltfArray(g, "materials", "material", &g->materials) || !gltfArray(g, "scenes", "scene", &g->scenes) ||
      !gltfArray(g, "textures", "texture", &g->textures) || !gltfArray(g, "images", "image", &g->images))
    return false;
  g->bufferData = (GltfBuffer*)vxmMemCalloc((size_t)(g->buffers.count > 0 ? g->buffers.count : 1), sizeof(GltfBuffer));
  if (!g->bufferData) {
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  return gltfScene(g);
}

static void gltfFree(Gltf* g) {
  for (int32_t i = 0; g->bufferData && i < g->buffers.count; ++i) importFreeBytes(&g->bufferData[i].owned);
  vxmMemFree(g->bufferData);
  GltfArray* arrays[] = {&g->accessors, &g->bufferViews, &g->buffers, &g->meshes, &g->nodes,
                         &g->materials, &g->scenes, &g->textures, &g->images};
  for (GltfArray* array : arrays) vxmMemFree(array->tokens);
  vxmMemFree(g->nodeState);
  jsonFree(&g->json);
}

VxmModel* vxmModelLoadGLTF(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return nullptr;
  }
  char path[APP_PATH_LENGTH];
  ImportBytes file;
  if (!importLocate(fileName, path) || !importReadFile(path, &file)) return nullptr;
  ImportBuild build;
  importBegin(&build);
  Gltf g;
  std::memset(&g, 0, sizeof g);
  g.path = path;
  g.build = &build;
  bool read = gltfReadFile(&g, &file);
  gltfFree(&g);
  importFreeBytes(&file);
  VxmModel* model = read ? importFinish(&build) : nullptr;
  importEnd(&build);
  if (!model) APP_TRACE("Failed to import glTF file: %s", path);
  return model;
}
