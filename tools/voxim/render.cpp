// render.cpp: voxim render MODEL -o OUT.bmp: one frame of a model drawn by the renderer, written
// as the 24-bit BMP file of the target bitmap exactly as it lies in memory (rows bottom-up).
// By default the model is fitted and turned as the screensaver fits it into its sprite.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app.h"
#include "commands.h"
#include "voxim.h"

static const char* const kRenderUsage =
    "render MODEL -o OUT.bmp [--light FILE.vlt] [--size WxH] [--state N] [--rotate X,Y,Z] "
    "[--background R,G,B] [--raw]";
static const int32_t kRenderMaxSide = 16384;

struct RenderOptions {
  const char* model = nullptr;
  const char* out = nullptr;
  const char* light = nullptr;
  int32_t width = 256, height = 256;
  bool stateGiven = false;
  int32_t state = 0;
  float rotate[3] = {0.0f, 0.0f, 0.0f};  // degrees about X, then Y, then Z
  uint32_t background = 0;               // 0x00RRGGBB
  bool raw = false;
};

// Whole-text number parsers: the text must be one number and nothing else.
static bool renderParseInt(const char* text, long low, long high, long* value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}

// "a<sep>b<sep>c..." split into `count` parts of at most 63 characters each.
static bool renderSplit(const char* text, char separator, int count, char parts[][64]) {
  int part = 0, length = 0;
  for (const char* p = text;; ++p) {
    if (*p == separator || *p == '\0') {
      parts[part][length] = '\0';
      if (*p == '\0') return part == count - 1;
      if (++part >= count) return false;
      length = 0;
    } else if (length < 63) {
      parts[part][length++] = *p;
    } else {
      return false;
    }
  }
}

static bool renderParseOptions(int argc, char** argv, RenderOptions* o) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(a, "-o") == 0 && hasValue) {
      o->out = argv[++i];
    } else if (std::strcmp(a, "--light") == 0 && hasValue) {
      o->light = argv[++i];
    } else if (std::strcmp(a, "--size") == 0 && hasValue) {
      char parts[2][64];
      long w, h;
      if (!renderSplit(argv[++i], 'x', 2, parts) || !renderParseInt(parts[0], 1, kRenderMaxSide, &w) ||
          !renderParseInt(parts[1], 1, kRenderMaxSide, &h))
        return false;
      o->width = (int32_t)w;
      o->height = (int32_t)h;
    } else if (std::strcmp(a, "--state") == 0 && hasValue) {
      long state;
      if (!renderParseInt(argv[++i], INT32_MIN, INT32_MAX, &state)) return false;
      o->state = (int32_t)state;
      o->stateGiven = true;
    } else if (std::strcmp(a, "--rotate") == 0 && hasValue) {
      char parts[3][64];
      if (!renderSplit(argv[++i], ',', 3, parts)) return false;
      for (int k = 0; k < 3; ++k) {
        char* end = nullptr;
        o->rotate[k] = std::strtof(parts[k], &end);
        if (end == parts[k] || *end != '\0') return false;
      }
    } else if (std::strcmp(a, "--background") == 0 && hasValue) {
      char parts[3][64];
      long c[3];
      if (!renderSplit(argv[++i], ',', 3, parts)) return false;
      for (int k = 0; k < 3; ++k)
        if (!renderParseInt(parts[k], 0, 255, &c[k])) return false;
      o->background = (uint32_t)(c[0] << 16 | c[1] << 8 | c[2]);
    } else if (std::strcmp(a, "--raw") == 0) {
      o->raw = true;
    } else if (a[0] != '-' && !o->model) {
      o->model = a;
    } else {
      return false;
    }
  }
  return o->model && o->out;
}

// The target as a BMP file: file header, information header, then the pixel block as it is.
static bool renderWriteBMP(const char* path, const VxmBitmap* bitmap) {
  uint8_t header[54] = {};
  auto put = [&](int at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) header[at + i] = (uint8_t)(value >> (8 * i));
  };
  header[0] = 'B';
  header[1] = 'M';
  put(2, 54u + (uint32_t)bitmap->bitsSize, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, (uint32_t)bitmap->width, 4);
  put(22, (uint32_t)bitmap->height, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, (uint32_t)bitmap->bitsSize, 4);
  FILE* file = appFileOpen(path, "wb");
  if (!file) return false;
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header &&
            std::fwrite(bitmap->bits, 1, (size_t)bitmap->bitsSize, file) == (size_t)bitmap->bitsSize;
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

// Draws the model into the target: fitted as the screensaver fits it (or raw), then turned.
static bool renderFrame(const RenderOptions& o, VxmModel* model, VxmBitmap* target) {
  VxmMatrix view;
  vxmMatIdentity(&view);
  vxmMatIdentity(&model->matrix);
  if (!o.raw) {
    VxmRenderFit fit;
    if (!vxmRenderFitModel(model, o.width < o.height ? o.width : o.height, &fit)) return false;
    model->matrix = fit.base;
    view = fit.view;
  }
  VxmMatrix turn;
  const double radians = 3.14159265358979323846 / 180.0;
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateX(&turn, (float)(o.rotate[0] * radians)));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateY(&turn, (float)(o.rotate[1] * radians)));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateZ(&turn, (float)(o.rotate[2] * radians)));

  const uint8_t colour[3] = {(uint8_t)o.background, (uint8_t)(o.background >> 8), (uint8_t)(o.background >> 16)};
  vxmBitmapFill(target, colour);
  vxmRenderSetTarget(target);
  vxmRenderSetViewMatrix(&view);
  const int32_t state = o.stateGiven ? o.state
                        : model->vertexNormalCount > 0
                            ? VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH
                            : VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING;
  vxmRenderSetState(state);
  vxmRenderClearDepth();
  return vxmRenderModel(model);
}

int voximRender(int argc, char** argv) {
  RenderOptions o;
  if (!renderParseOptions(argc, argv, &o)) return voximUsage(kRenderUsage);

  VxmModel* model = vxmModelLoad(o.model);
  if (!model) return 1;
  VxmBitmap* target = nullptr;
  bool ok = vxmRenderInit();
  if (ok && o.light) ok = vxmLightLoadVLT(o.light);
  if (ok) ok = (target = vxmBitmapCreate(o.width, o.height, 24)) != nullptr;
  if (ok) ok = renderFrame(o, model, target);
  if (ok && !renderWriteBMP(o.out, target)) {
    std::fprintf(stderr, "voxim: cannot write %s\n", o.out);
    ok = false;
  }
  vxmRenderShutdown();
  vxmBitmapFree(target);
  vxmModelFree(model);
  return ok ? 0 : 1;
}
