// ImportLibs.cpp: the third-party code of the import readers behind our own records: jsmn
// tokenises JSON into a table that this module checks and links (every value's extent, keys as
// strings, literals and numbers as JSON writes them) before a reader sees it.
#include "ImportLibs.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ImportInternal.h"
#include "app.h"
#include "vxmMem.h"

#define JSMN_STATIC
#define JSMN_STRICT
#include <jsmn.h>

#include "vxmBitmap.h"

// stb_image: memory only, the three formats a texture may come in, our allocator, no assertions
// (a damaged file is its failure result, never a stop); sizes are checked against our limit
// from the header, before stb_image decodes anything.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_MALLOC(size) vxmMemAlloc(size)
#define STBI_REALLOC(block, size) vxmMemRealloc(block, size)
#define STBI_FREE(block) vxmMemFree(block)
#define STBI_ASSERT(x) ((void)0)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wtype-limits"
#include <stb_image.h>
#pragma GCC diagnostic pop

// --- JSON -------------------------------------------------------------------------------------------

static bool jsonIsDigit(char c) { return c >= '0' && c <= '9'; }

// The number grammar of JSON: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
static bool jsonNumberText(const char* p, const char* end) {
  if (p < end && *p == '-') ++p;
  if (p == end || !jsonIsDigit(*p)) return false;
  if (*p == '0') {
    ++p;
  } else {
    while (p < end && jsonIsDigit(*p)) ++p;
  }
  if (p < end && *p == '.') {
    if (++p == end || !jsonIsDigit(*p)) return false;
    while (p < end && jsonIsDigit(*p)) ++p;
  }
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    if (p == end || !jsonIsDigit(*p)) return false;
    while (p < end && jsonIsDigit(*p)) ++p;
  }
  return p == end;
}

static bool jsonLiteral(const char* p, size_t length, const char* literal) {
  return length == std::strlen(literal) && std::memcmp(p, literal, length) == 0;
}

// Our token for jsmn's: its kind told apart and checked.
static bool jsonConvert(const char* text, const jsmntok_t* from, JsonToken* to) {
  to->start = from->start;
  to->end = from->end;
  to->size = from->size;
  const char* p = text + from->start;
  size_t length = (size_t)(from->end - from->start);
  switch (from->type) {
    case JSMN_OBJECT: to->kind = JSON_OBJECT; return true;
    case JSMN_ARRAY: to->kind = JSON_ARRAY; return true;
    case JSMN_STRING: to->kind = JSON_STRING; return from->size <= 1;
    case JSMN_PRIMITIVE:
      if (jsonLiteral(p, length, "true")) to->kind = JSON_TRUE;
      else if (jsonLiteral(p, length, "false")) to->kind = JSON_FALSE;
      else if (jsonLiteral(p, length, "null")) to->kind = JSON_NULL;
      else if (jsonNumberText(p, p + length)) to->kind = JSON_NUMBER;
      else return false;
      return from->size == 0;
    default: return false;
  }
}

// Links each token to the one after its value, from the last token back, so that each container
// finds its members' ends already linked. An object's members must be string keys each with one
// value; every extent must end inside the table.
static bool jsonLink(JsonDoc* doc) {
  for (int32_t i = doc->count - 1; i >= 0; --i) {
    JsonToken* token = &doc->tokens[i];
    int32_t next = i + 1;
    if (token->kind == JSON_OBJECT || token->kind == JSON_ARRAY) {
      for (int32_t k = 0; k < token->size; ++k) {
        if (next >= doc->count) return false;
        const JsonToken* member = &doc->tokens[next];
        if (token->kind == JSON_OBJECT && (member->kind != JSON_STRING || member->size != 1)) return false;
        if (token->kind == JSON_ARRAY && member->kind == JSON_STRING && member->size != 0) return false;
        next = member->next;
      }
    } else if (token->size == 1) {  // a key: its value follows
      if (next >= doc->count) return false;
      next = doc->tokens[next].next;
    }
    if (next > doc->count) return false;
    token->next = next;
  }
  return doc->count > 0 && doc->tokens[0].next == doc->count;
}

bool jsonParse(JsonDoc* doc, const char* text, size_t length) {
  doc->text = text;
  doc->tokens = nullptr;
  doc->count = 0;
  jsmn_parser parser;
  jsmn_init(&parser);
  int counted = jsmn_parse(&parser, text, length, nullptr, 0);
  if (counted < 1) {
    IMPORT_REFUSE("The JSON text is not well formed.");
    return false;
  }
  int32_t rawBytes, ourBytes;
  jsmntok_t* raw = nullptr;
  if (vxmMemMulSize(counted, sizeof(jsmntok_t), &rawBytes) && vxmMemMulSize(counted, sizeof(JsonToken), &ourBytes)) {
    raw = (jsmntok_t*)vxmMemAlloc((size_t)rawBytes);
    if (raw) doc->tokens = (JsonToken*)vxmMemAlloc((size_t)ourBytes);
  }
  if (!raw || !doc->tokens) {
    vxmMemFree(raw);
    jsonFree(doc);
    IMPORT_OUT_OF_MEMORY();
    return false;
  }
  jsmn_init(&parser);
  bool parsed = jsmn_parse(&parser, text, length, raw, (unsigned)counted) == counted;
  doc->count = counted;
  for (int32_t i = 0; parsed && i < counted; ++i) parsed = jsonConvert(text, &raw[i], &doc->tokens[i]);
  vxmMemFree(raw);
  if (!parsed || !jsonLink(doc)) {
    jsonFree(doc);
    IMPORT_REFUSE("The JSON text is not well formed.");
    return false;
  }
  return true;
}

void jsonFree(JsonDoc* doc) {
  vxmMemFree(doc->tokens);
  doc->tokens = nullptr;
  doc->count = 0;
}

bool jsonStringIs(const JsonDoc* doc, int32_t token, const char* text) {
  if (token < 0 || doc->tokens[token].kind != JSON_STRING) return false;
  size_t length = (size_t)(doc->tokens[token].end - doc->tokens[token].start);
  return std::strlen(text) == length && std::memcmp(doc->text + doc->tokens[token].start, text, length) == 0;
}

int32_t jsonMember(const JsonDoc* doc, int32_t object, const char* key) {
  if (object < 0 || doc->tokens[object].kind != JSON_OBJECT) return -1;
  int32_t member = jsonFirst(doc, object);
  for (int32_t k = 0; k < doc->tokens[object].size; ++k, member = jsonNext(doc, member))
    if (jsonStringIs(doc, member, key)) return member + 1;
  return -1;
}

bool jsonNumber(const JsonDoc* doc, int32_t token, double* value) {
  if (token < 0 || doc->tokens[token].kind != JSON_NUMBER) return false;
  // Numbers are short; a longer one is refused rather than copied.
  char digits[64];
  size_t length = (size_t)(doc->tokens[token].end - doc->tokens[token].start);
  if (length >= sizeof digits) return false;
  std::memcpy(digits, doc->text + doc->tokens[token].start, length);
  digits[length] = 0;
  *value = std::strtod(digits, nullptr);
  return std::isfinite(*value);
}

// --- Pictures -------------------------------------------------------------------------------------

// The size a PNG header claims, which stb_image does not report for a picture too large for it.
static bool importPngSize(const uint8_t* bytes, int64_t size, int64_t* width, int64_t* height) {
  if (size < 24 || std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) != 0 || std::memcmp(bytes + 12, "IHDR", 4) != 0) return false;
  *width = (int64_t)bytes[16] << 24 | bytes[17] << 16 | bytes[18] << 8 | bytes[19];
  *height = (int64_t)bytes[20] << 24 | bytes[21] << 16 | bytes[22] << 8 | bytes[23];
  return true;
}

VxmBitmap* importDecodePicture(const uint8_t* bytes, int64_t size, const char* what) {
  int width = 0, height = 0, channels = 0;
  int64_t claimedWidth, claimedHeight;
  if (importPngSize(bytes, size, &claimedWidth, &claimedHeight) &&
      (claimedWidth > VXM_IMPORT_MAX_PICTURE || claimedHeight > VXM_IMPORT_MAX_PICTURE)) {
    width = (int)(claimedWidth < INT32_MAX ? claimedWidth : INT32_MAX);
    height = (int)(claimedHeight < INT32_MAX ? claimedHeight : INT32_MAX);
  } else if (size <= 0 || size > INT32_MAX || !stbi_info_from_memory(bytes, (int)size, &width, &height, &channels)) {
    APP_TRACE("The picture %s is not a PNG, JPEG or BMP picture.", what);
    return nullptr;
  }
  if (width < 1 || height < 1 || width > VXM_IMPORT_MAX_PICTURE || height > VXM_IMPORT_MAX_PICTURE) {
    APP_TRACE("The picture %s is %d x %d pixels; a texture may have at most %d x %d.", what, width, height,
              (int)VXM_IMPORT_MAX_PICTURE, (int)VXM_IMPORT_MAX_PICTURE);
    return nullptr;
  }
  uint8_t* rgb = stbi_load_from_memory(bytes, (int)size, &width, &height, &channels, 3);
  if (!rgb) {
    APP_TRACE("The picture %s cannot be decoded: %s", what, stbi_failure_reason());
    return nullptr;
  }
  VxmBitmap* bitmap = vxmBitmapCreate(width, height, 24);
  if (!bitmap) {
    stbi_image_free(rgb);
    APP_TRACE("Failed to create bitmap");
    return nullptr;
  }
  // The decoder's rows run from the top in red, green, blue; the bitmap's from the bottom in
  // blue, green, red. Row padding is zero, as a BMP file written from the bitmap must have it.
  std::memset(bitmap->bits, 0, (size_t)bitmap->bitsSize);
  for (int row = 0; row < height; ++row) {
    const uint8_t* from = rgb + (size_t)(height - 1 - row) * (size_t)width * 3;
    uint8_t* to = bitmap->lineTable[row];
    for (int x = 0; x < width; ++x, from += 3, to += 3) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
    }
  }
  stbi_image_free(rgb);
  return bitmap;
}
