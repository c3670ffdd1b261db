// ImportLibs.h: the one door to the third-party code the import readers use: the JSON tokeniser
// (jsmn, from Debian's libjsmn-dev) and the picture decoder (stb_image, from libstb-dev). Their
// allocations go through the library's allocator and their errors come back as truth values or
// null pointers; their types do not pass this header.
#pragma once

#include <cstddef>
#include <cstdint>

// JSON_ABSENT is the kind of token -1, a member that is not there.
enum JsonKind { JSON_OBJECT, JSON_ARRAY, JSON_STRING, JSON_NUMBER, JSON_TRUE, JSON_FALSE, JSON_NULL, JSON_ABSENT };

struct JsonToken {
  int32_t start, end;  // bytes of the text: a string's without its quotes
  int32_t size;        // members of an object, elements of an array
  int32_t next;        // the token after this one's whole value (a key's value included)
  uint8_t kind;        // JsonKind
};

struct JsonDoc {
  const char* text;
  JsonToken* tokens;  // token 0 is the document's one value
  int32_t count;
};

// Tokenises a whole JSON text; false (traced, with the reason given to the import) when it is not
// one well-formed value or memory runs out. jsonFree releases the tokens.
bool jsonParse(JsonDoc* doc, const char* text, size_t length);
void jsonFree(JsonDoc* doc);

// The value of `object`'s member `key` (the first of that name), or -1 (also for a non-object).
int32_t jsonMember(const JsonDoc* doc, int32_t object, const char* key);
// The first element of an array (or the first key of an object) and the one after `element`;
// iterate `size` times.
inline int32_t jsonFirst(const JsonDoc* doc, int32_t container) { return container + 1; }
inline int32_t jsonNext(const JsonDoc* doc, int32_t element) { return doc->tokens[element].next; }
inline JsonKind jsonKind(const JsonDoc* doc, int32_t token) {
  return token < 0 ? JSON_ABSENT : (JsonKind)doc->tokens[token].kind;
}
// A number token's value; false for another kind or a value that is not finite.
bool jsonNumber(const JsonDoc* doc, int32_t token, double* value);
// True when the token is a string equal to `text` (escapes are not decoded).
bool jsonStringIs(const JsonDoc* doc, int32_t token, const char* text);

// --- Pictures -------------------------------------------------------------------------------------
struct VxmBitmap;
// Decodes a PNG, JPEG or BMP picture held in memory into a new 24-bit bitmap in the library's
// working form (row 0 at the bottom). Null, with one trace line naming `what`, when it is none
// of those, is damaged, or has a side longer than VXM_IMPORT_MAX_PICTURE (checked from its
// header before anything is decoded).
VxmBitmap* importDecodePicture(const uint8_t* bytes, int64_t size, const char* what);
