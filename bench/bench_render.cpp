// bench_render.cpp: frames per second of the renderer for each render state, on the bundled
// models (made by mkdata when it sits beside this program, else comparable lathe models made
// here) and on a 100,000-facet model, at sprite sides 127, 204 and 400 and a 600 x 600
// workspace. Beside each, the same triangles with the same shading, size and depth test drawn
// by Mesa's off-screen OpenGL on one thread, and at the end the table of both frame rates and
// their ratio. Beside them the floor of each size, measured in the same run beside the model's
// frames of that size: the frame's fixed work alone (the background copied into the target and
// the depth buffer cleared), and each frame as a multiple of it. The table ends with a summary
// line: the least and the median ratio over all cells, and the worst multiple of the floor, over
// all cells and over the fill-bound ones. Frames are timed in processor time; on a busy machine,
// run with --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true: every figure
// is then the fastest of three runs scattered over the whole run, so that one busy spell cannot
// spoil all three. Every VOXIM frame is also checked to allocate nothing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app.h"
#include "appHost.h"
#include "voxim.h"
#include "vxmMem.h"

#if defined(QUIRLA_HAVE_OSMESA)
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>
#endif

namespace {

constexpr uint32_t kBackground = 0x203040;
const int32_t kStates[] = {0, 1, 2, 3, 5, 6, 7, 9, 10, 11};  // one of each row of the dispatch

struct BenchModel {
  std::string name;
  VxmModel* model;
  VxmBitmap* ownTexture;  // a texture made here (models from files own theirs)
};

struct Size {
  const char* name;
  int32_t width, height;
};
const Size kSizes[] = {{"sprite127", 127, 127}, {"sprite204", 204, 204}, {"sprite400", 400, 400},
                       {"workspace600", 600, 600}};

// --- Models --------------------------------------------------------------------------------------

VxmBitmap* makeLabel() {
  VxmBitmap* label = vxmBitmapCreate(128, 64, 24);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 128; ++x) {
      uint32_t c = y >= 52 ? 0x2040C0 : (y >= 16 && y < 48) ? ((x / 6 + y / 8) % 3 ? 0xF0F0F0 : 0x101010) : 0xC02020;
      uint8_t* p = label->lineTable[y] + 3 * x;
      p[0] = (uint8_t)c;
      p[1] = (uint8_t)(c >> 8);
      p[2] = (uint8_t)(c >> 16);
    }
  return label;
}

// Cylindrical texture coordinates for the facets whose profile points lie in [first, last].
void wrapTexture(VxmModel* m, int32_t P, int32_t S, int32_t first, int32_t last, VxmBitmap* texture) {
  const int32_t w = texture->width * 4096, h = texture->height * 4096 - 1;
  for (int32_t t = 0; t < m->triCount; ++t) {
    VxmTri* tri = &m->tris[t];
    bool inside = true, closing = false;
    for (int k = 0; k < 3; ++k) {
      const int32_t p = tri->v[k] % P;
      inside = inside && p >= first && p <= last;
      closing = closing || tri->v[k] / P == S - 1;
    }
    if (!inside) continue;
    tri->texture = texture;
    for (int k = 0; k < 3; ++k) {
      const int32_t ring = tri->v[k] / P, p = tri->v[k] % P;
      int32_t u = (int32_t)((int64_t)(S - ring) * w / S);
      if (ring == 0) u = closing ? 0 : w - 1;
      tri->uv[2 * k] = u;
      tri->uv[2 * k + 1] = (int32_t)((int64_t)(p - first) * h / (last - first));
    }
  }
}

// A can of 32 segments with a label round its wall, like the saver's default model.
BenchModel makeCan() {
  const VxmVector profile[] = {{0, -1, 0},   {0.6f, -1, 0},   {0.6f, -0.6f, 0}, {0.6f, -0.2f, 0},
                               {0.6f, 0.2f, 0}, {0.6f, 0.6f, 0}, {0.6f, 1, 0},    {0, 1, 0}};
  VxmModel* m = vxmModelCreateLathe(profile, 8, nullptr, 32);
  vxmModelCalcAverageNormals(m);
  for (int32_t t = 0; t < m->triCount; ++t) m->tris[t].colour = 0xB0B0B8;
  VxmBitmap* label = makeLabel();
  wrapTexture(m, 8, 32, 1, 6, label);
  return {"can", m, label};
}

// A vase of 24 profile points and 36 segments, smooth, untextured.
BenchModel makeVase() {
  VxmVector profile[24];
  for (int i = 0; i < 24; ++i) {
    const double t = i / 23.0;
    const double r = (i == 0 || i == 23) ? 0.0 : 0.35 + 0.25 * vxmMathSin(t * 5.0);
    profile[i] = {(float)r, (float)(t * 2.4 - 1.2), 0.0f};
  }
  VxmModel* m = vxmModelCreateLathe(profile, 24, nullptr, 36);
  vxmModelCalcAverageNormals(m);
  for (int32_t t = 0; t < m->triCount; ++t) m->tris[t].colour = (t / 46) % 2 ? 0x3080D0 : 0xE0C040;
  return {"vase", m, nullptr};
}

// A ring swept from `points` profile points about Y in `segments` steps, with exact normals;
// its outer half carries a texture.
BenchModel makeTorus(const char* name, int32_t points, int32_t segments) {
  std::vector<VxmVector> profile(points), normals(points);
  for (int32_t i = 0; i < points; ++i) {
    const double a = i * 6.283185307179586 / (points - 1);
    const double c = vxmMathCos(a), s = vxmMathSin(a);
    profile[i] = {(float)(0.7 + 0.3 * c), (float)(0.3 * s), 0.0f};
    normals[i] = {(float)c, (float)s, 0.0f};
  }
  VxmModel* m = vxmModelCreateLathe(profile.data(), points, normals.data(), segments);
  for (int32_t t = 0; t < m->triCount; ++t) {
    m->tris[t].colour = 0x40A060;
    for (int k = 0; k < 3; ++k) m->tris[t].n[k] = m->tris[t].v[k];
  }
  VxmBitmap* label = makeLabel();
  wrapTexture(m, points, segments, 0, points / 4, label);
  return {name, m, label};
}

// The installation's models, when mkdata is built beside this program.
std::vector<BenchModel> bundledModels() {
  std::vector<BenchModel> models;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  const std::filesystem::path mkdata = self.parent_path() / "mkdata";
  if (ec || !std::filesystem::exists(mkdata)) return models;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quirla-bench-render";
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder, ec);
  const std::string command = "'" + mkdata.string() + "' '" + folder.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return models;
  appHostSetInstallPath(folder.string().c_str());
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "Models", ec))
    if (entry.path().extension() == ".vxm") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files)
    if (VxmModel* m = vxmModelLoad(file.string().c_str())) models.push_back({file.stem().string(), m, nullptr});
  return models;
}

// --- Frames --------------------------------------------------------------------------------------

// The model's matrix of frame i: fitted as the saver fits it, tilted, spinning about Y.
void frameMatrix(VxmModel* m, const VxmRenderFit& fit, int i) {
  VxmMatrix turn;
  m->matrix = fit.base;
  vxmMatMultiplyInPlace(&m->matrix, vxmMatRotateX(&turn, 0.4f));
  vxmMatMultiplyInPlace(&m->matrix, vxmMatRotateY(&turn, (float)(i % 628) * 0.01f));
}

struct Result {
  double voxim = 0.0, gl = 0.0;  // seconds per frame
  std::string floor;             // the floor measured before it
  double covered = 0.0;          // share of the target's pixels the model covers
  int32_t facets = 0;            // facets drawn
  int32_t state = 0;             // render state
};
std::map<std::string, Result> results;
std::vector<std::string> resultOrder;  // the cells as registered, whatever order they ran in
long steadyAllocations = 0;
std::map<std::string, double> floors;  // seconds of a frame's fixed work, by floor benchmark

// The process's processor time in seconds. Frames are timed by it rather than by the wall clock:
// on a shared machine the wall clock also counts the time other programs had the processor.
// Both renderers draw on this one thread, so neither hides work elsewhere.
double cpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

// Each figure is the fastest of its repetitions (--benchmark_repetitions=N): on a busy machine
// the other programs only ever add time.
void keepFastest(double* figure, double seconds) {
  if (*figure <= 0.0 || seconds < *figure) *figure = seconds;
}

void record(const std::string& key, bool gl, double seconds) {
  keepFastest(gl ? &results[key].gl : &results[key].voxim, seconds);
}

// The floor benchmark of a size, registered beside each model's frames of that size.
std::string floorName(const Size& size, const std::string& model) {
  return std::string("Floor/") + size.name + "/before/" + model;
}

// The work every frame of a size does whatever the model: the background copied into the target
// and the depth buffer cleared.
void benchFloor(benchmark::State& state, Size size, std::string name) {
  VxmBitmap* target = vxmBitmapCreate(size.width, size.height, 24);
  VxmBitmap* background = vxmBitmapCreate(size.width, size.height, 24);
  const uint8_t colour[3] = {(uint8_t)kBackground, (uint8_t)(kBackground >> 8), (uint8_t)(kBackground >> 16)};
  vxmBitmapFill(background, colour);
  vxmRenderSetTarget(target);
  auto work = [&]() {
    vxmBitmapCopy(target, 0, 0, size.width, size.height, background, 0, 0);
    vxmRenderClearDepth();
  };
  work();
  const double start = cpuSeconds();
  for (auto _ : state) {
    work();
    benchmark::DoNotOptimize(target->bits[0]);
    benchmark::ClobberMemory();
  }
  const double seconds = cpuSeconds() - start;
  keepFastest(&floors[name], seconds / (double)state.iterations());
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  vxmBitmapFree(target);
  vxmBitmapFree(background);
}

// Share of the target's pixels that differ from the background after a frame.
double coveredShare(const VxmBitmap* target) {
  const uint8_t colour[3] = {(uint8_t)kBackground, (uint8_t)(kBackground >> 8), (uint8_t)(kBackground >> 16)};
  long covered = 0;
  for (int32_t y = 0; y < target->height; ++y)
    for (int32_t x = 0; x < target->width; ++x)
      covered += std::memcmp(target->lineTable[y] + 3 * x, colour, 3) != 0;
  return (double)covered / ((double)target->width * target->height);
}

void benchVoxim(benchmark::State& state, const BenchModel* bm, Size size, int32_t renderState, std::string key) {
  // As the screensaver does, each frame starts from a copy of the background under the sprite.
  VxmBitmap* target = vxmBitmapCreate(size.width, size.height, 24);
  VxmBitmap* background = vxmBitmapCreate(size.width, size.height, 24);
  const uint8_t colour[3] = {(uint8_t)kBackground, (uint8_t)(kBackground >> 8), (uint8_t)(kBackground >> 16)};
  vxmBitmapFill(background, colour);
  VxmRenderFit fit;
  vxmRenderFitModel(bm->model, std::min(size.width, size.height), &fit);
  vxmRenderSetTarget(target);
  vxmRenderSetViewMatrix(&fit.view);
  int frame = 0;
  auto draw = [&]() {
    frameMatrix(bm->model, fit, frame++);
    vxmBitmapCopy(target, 0, 0, size.width, size.height, background, 0, 0);
    vxmRenderSetState(renderState);
    vxmRenderClearDepth();
    vxmRenderModel(bm->model);
  };
  draw();  // the buffers grow here, once
  const long allocations = vxmMemAllocations();
  const double start = cpuSeconds();
  for (auto _ : state) {
    draw();
    benchmark::DoNotOptimize(target->bits[0]);
  }
  const double seconds = cpuSeconds() - start;
  const long allocated = vxmMemAllocations() - allocations;
  steadyAllocations += allocated;
  VxmRenderLimits limits;
  vxmRenderGetLimits(&limits);
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  state.counters["facets_drawn"] = limits.renderTriCount;
  state.counters["allocations"] = (double)allocated;
  if (allocated != 0) state.SkipWithError("a steady frame allocated memory");
  record(key, false, seconds / (double)state.iterations());
  results[key].floor = floorName(size, bm->name);
  results[key].covered = coveredShare(target);
  results[key].facets = limits.renderTriCount;
  results[key].state = renderState;
  vxmBitmapFree(target);
  vxmBitmapFree(background);
}

#if defined(QUIRLA_HAVE_OSMESA)

// The same facets for OpenGL: three corners each, with the facet normal, the vertex normals,
// the colour and the texture position; plain and textured facets in two buffers.
struct GlVertex {
  float position[3];
  float facetNormal[3];
  float vertexNormal[3];
  uint8_t colour[4];
  float uv[2];
};
struct GlModel {
  GLuint buffers[2] = {0, 0};  // plain, textured
  GLsizei counts[2] = {0, 0};
  GLuint texture = 0;
};
std::map<const VxmModel*, GlModel> glModels;
OSMesaContext glContext = nullptr;
std::vector<uint8_t> glFrame;
std::string glRenderer;

bool glStart() {
  setenv("LP_NUM_THREADS", "0", 1);  // llvmpipe draws on the calling thread only
  glContext = OSMesaCreateContextExt(OSMESA_BGRA, 24, 0, 0, nullptr);
  glFrame.resize(600 * 600 * 4);
  if (!glContext || !OSMesaMakeCurrent(glContext, glFrame.data(), GL_UNSIGNED_BYTE, 600, 600)) return false;
  glRenderer = (const char*)glGetString(GL_RENDERER);
  return true;
}

GlModel& glModel(const VxmModel* m) {
  auto found = glModels.find(m);
  if (found != glModels.end()) return found->second;
  GlModel& g = glModels[m];
  std::vector<GlVertex> lists[2];
  const VxmBitmap* texture = nullptr;
  for (int32_t t = 0; t < m->triCount; ++t) {
    const VxmTri& tri = m->tris[t];
    if (tri.texture) texture = tri.texture;
    for (int k = 0; k < 3; ++k) {
      GlVertex v = {};
      const VxmVector& p = m->vertices[tri.v[k]];
      v.position[0] = p.x, v.position[1] = p.y, v.position[2] = p.z;
      v.facetNormal[0] = tri.normal.x, v.facetNormal[1] = tri.normal.y, v.facetNormal[2] = tri.normal.z;
      if (tri.n[k] >= 0 && tri.n[k] < m->vertexNormalCount) {
        const VxmVector& n = m->vertexNormals[tri.n[k]];
        v.vertexNormal[0] = n.x, v.vertexNormal[1] = n.y, v.vertexNormal[2] = n.z;
      }
      v.colour[0] = (uint8_t)(tri.colour >> 16), v.colour[1] = (uint8_t)(tri.colour >> 8);
      v.colour[2] = (uint8_t)tri.colour, v.colour[3] = 255;
      if (tri.texture) {
        v.uv[0] = tri.uv[2 * k] / 4096.0f / (float)tri.texture->width;
        v.uv[1] = tri.uv[2 * k + 1] / 4096.0f / (float)tri.texture->height;
      }
      lists[tri.texture ? 1 : 0].push_back(v);
    }
  }
  glGenBuffers(2, g.buffers);
  for (int i = 0; i < 2; ++i) {
    glBindBuffer(GL_ARRAY_BUFFER, g.buffers[i]);
    glBufferData(GL_ARRAY_BUFFER, (GLsizeiptr)(lists[i].size() * sizeof(GlVertex)), lists[i].data(), GL_STATIC_DRAW);
    g.counts[i] = (GLsizei)lists[i].size();
  }
  if (texture) {
    glGenTextures(1, &g.texture);
    glBindTexture(GL_TEXTURE_2D, g.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, texture->width, texture->height, 0, GL_BGR, GL_UNSIGNED_BYTE, texture->bits);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  return g;
}

// One batch of facets: filled with the given shading, or as white lines without depth.
void glDrawBatch(const GlModel& g, int batch, bool wire, bool lit, bool smooth, bool textured) {
  if (g.counts[batch] == 0) return;
  glBindBuffer(GL_ARRAY_BUFFER, g.buffers[batch]);
  glVertexPointer(3, GL_FLOAT, sizeof(GlVertex), (void*)offsetof(GlVertex, position));
  glNormalPointer(GL_FLOAT, sizeof(GlVertex),
                  smooth ? (void*)offsetof(GlVertex, vertexNormal) : (void*)offsetof(GlVertex, facetNormal));
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(GlVertex), (void*)offsetof(GlVertex, colour));
  glTexCoordPointer(2, GL_FLOAT, sizeof(GlVertex), (void*)offsetof(GlVertex, uv));
  if (wire) {
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_COLOR_ARRAY);
    glColor3ub(255, 255, 255);
  } else {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(smooth ? GL_SMOOTH : GL_FLAT);
    if (lit) glEnable(GL_LIGHTING); else glDisable(GL_LIGHTING);
    if (textured) {
      glEnable(GL_TEXTURE_2D);
      glBindTexture(GL_TEXTURE_2D, g.texture);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, lit ? GL_MODULATE : GL_REPLACE);
      glDisableClientState(GL_COLOR_ARRAY);
      glColor3ub(255, 255, 255);
    } else {
      glDisable(GL_TEXTURE_2D);
      glEnableClientState(GL_COLOR_ARRAY);
    }
  }
  glDrawArrays(GL_TRIANGLES, 0, g.counts[batch]);
}

void benchGl(benchmark::State& state, const BenchModel* bm, Size size, int32_t renderState, std::string key) {
  if (!glContext) {
    state.SkipWithError("no OSMesa context");
    return;
  }
  OSMesaMakeCurrent(glContext, glFrame.data(), GL_UNSIGNED_BYTE, size.width, size.height);
  const GlModel& g = glModel(bm->model);
  VxmRenderFit fit;
  vxmRenderFitModel(bm->model, std::min(size.width, size.height), &fit);
  VxmMatrix centre, screen;
  vxmMatTranslate(&centre, (float)(size.width * 0.5), (float)(size.height * 0.5), 0.0f);
  vxmMatMultiply(&screen, &fit.view, &centre);

  glViewport(0, 0, size.width, size.height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const double depth = 2.0 * std::max(size.width, size.height);
  glOrtho(0.0, size.width, 0.0, size.height, depth, -depth);  // larger z is farther, as in VOXIM
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // The renderer's lighting: ambient colour times surface, directional half strength.
  VxmVector d;
  vxmLightGetDirection(&d);
  const GLfloat towardsLight[4] = {-d.x, -d.y, -d.z, 0.0f};
  const GLfloat ambient[4] = {1, 1, 1, 1}, diffuse[4] = {0.5f, 0.5f, 0.5f, 1}, none[4] = {0, 0, 0, 1};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  glLightfv(GL_LIGHT0, GL_POSITION, towardsLight);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glEnable(GL_LIGHT0);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glEnable(GL_RESCALE_NORMAL);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CW);  // VOXIM's front facets run clockwise with rows rising
  glDepthFunc(GL_LESS);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glClearColor(0x20 / 255.0f, 0x30 / 255.0f, 0x40 / 255.0f, 1.0f);

  const bool hasNormals = bm->model->vertexNormalCount > 0;
  int frame = 0;
  auto draw = [&]() {
    frameMatrix(bm->model, fit, frame++);
    VxmMatrix toScreen;
    vxmMatMultiply(&toScreen, &bm->model->matrix, &screen);
    const float* m = toScreen.m;
    const GLfloat columns[16] = {m[0], m[1], m[2], 0, m[3], m[4], m[5], 0, m[6], m[7], m[8], 0, m[9], m[10], m[11], 1};
    glLoadMatrixf(columns);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    int32_t s = renderState;
    if ((s & VXM_RENDER_SMOOTH) && !hasNormals) s &= ~VXM_RENDER_SMOOTH;
    const bool lit = s & (VXM_RENDER_LIGHTING | VXM_RENDER_SMOOTH), smooth = s & VXM_RENDER_SMOOTH;
    switch (s) {
      case 1: case 5: case 9:
        glDrawBatch(g, 0, false, lit, smooth, false);
        glDrawBatch(g, 1, false, lit, smooth, false);
        break;
      case 3: case 7: case 11:
        glDrawBatch(g, 0, false, lit, smooth, false);
        glDrawBatch(g, 1, false, lit, smooth, true);
        break;
      case 2: case 6: case 10:
        glDrawBatch(g, 0, true, false, false, false);
        glDrawBatch(g, 1, false, lit, smooth, true);
        break;
      default:
        glDrawBatch(g, 0, true, false, false, false);
        glDrawBatch(g, 1, true, false, false, false);
        break;
    }
    glFinish();
  };
  draw();
  const double start = cpuSeconds();
  for (auto _ : state) {
    draw();
    benchmark::DoNotOptimize(glFrame[0]);
  }
  const double seconds = cpuSeconds() - start;
  state.counters["fps"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
  record(key, true, seconds / (double)state.iterations());
}

#endif

// The fill-bound cells: few large facets covering much of the editor's 600 x 600 workspace, so
// that the span loops set the pace: the icosahedron, the gem and the can in the filled states.
bool fillBound(const std::string& key, const Result& r) {
  const bool filled = r.state == 1 || r.state == 3 || r.state == 5 || r.state == 7 || r.state == 9 || r.state == 11;
  const std::string model = key.substr(0, key.find('/'));
  return filled && key.find("/workspace600/") != std::string::npos &&
         (model == "icosa" || model == "gem" || model == "can");
}

void printTable() {
  std::printf("\nFrames per second, VOXIM beside OSMesa (%s, one thread); ratio = OSMesa frame time / VOXIM "
              "frame time (above 1: VOXIM faster), both in processor time; floor = the frame's fixed work alone (background copy and "
              "depth clear) measured in the same run; x floor = VOXIM frame time / floor; * = fill-bound\n",
#if defined(QUIRLA_HAVE_OSMESA)
              glRenderer.c_str()
#else
              "not built"
#endif
  );
  std::printf("%-34s %12s %12s %8s %10s %8s %8s %7s\n", "scene", "VOXIM fps", "OSMesa fps", "ratio", "floor ms",
              "x floor", "covered", "facets");
  std::vector<double> ratios;
  double minRatio = 0.0, worstFloor = 0.0, worstFillFloor = 0.0;
  std::string minKey, worstKey, worstFillKey;
  for (const std::string& key : resultOrder) {
    if (!results.count(key)) continue;  // not run (filtered out)
    const Result& r = results[key];
    const double v = r.voxim > 0 ? 1.0 / r.voxim : 0.0, g = r.gl > 0 ? 1.0 / r.gl : 0.0;
    const double ratio = r.voxim > 0 && r.gl > 0 ? r.gl / r.voxim : 0.0;
    const double floor = floors.count(r.floor) ? floors[r.floor] : 0.0;
    const double multiple = r.voxim > 0 && floor > 0 ? r.voxim / floor : 0.0;
    const bool fill = fillBound(key, r);
    std::printf("%-34s %12.1f %12.1f %8.2f %10.4f %8.2f %7.0f%% %7d%s\n", key.c_str(), v, g, ratio, floor * 1e3,
                multiple, 100.0 * r.covered, (int)r.facets, fill ? " *" : "");
    if (ratio > 0) {
      ratios.push_back(ratio);
      if (minKey.empty() || ratio < minRatio) minRatio = ratio, minKey = key;
    }
    if (multiple > worstFloor) worstFloor = multiple, worstKey = key;
    if (fill && multiple > worstFillFloor) worstFillFloor = multiple, worstFillKey = key;
  }
  std::printf("steady-state allocations over all VOXIM frames: %ld\n", steadyAllocations);
  std::sort(ratios.begin(), ratios.end());
  const size_t n = ratios.size();
  const double median = n == 0 ? 0.0 : n % 2 ? ratios[n / 2] : 0.5 * (ratios[n / 2 - 1] + ratios[n / 2]);
  std::printf("summary: ratio vs OSMesa over %zu cells min %.2f (%s) median %.2f; worst multiple of the floor %.2f "
              "(%s), of the fill-bound cells %.2f (%s)\n",
              n, minRatio, minKey.c_str(), median, worstFloor, worstKey.c_str(), worstFillFloor,
              worstFillKey.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  appEnableMessages(false);
  vxmRenderInit();
  const VxmVector light = {-0.5f, -0.4f, 0.766f};
  vxmLightSetDirection(&light);
  std::vector<BenchModel> models = bundledModels();
  const bool bundled = !models.empty();
  if (!bundled) {
    models.push_back(makeCan());
    models.push_back(makeVase());
    models.push_back(makeTorus("ring", 13, 24));
  }
  models.push_back(makeTorus("facets100k", 251, 200));
  benchmark::AddCustomContext("models", bundled ? "mkdata's installation models" : "lathe models made by the benchmark");
#if defined(QUIRLA_HAVE_OSMESA)
  if (glStart()) benchmark::AddCustomContext("mesa_renderer", glRenderer);
#endif
  for (const BenchModel& bm : models) {
    for (const Size& size : kSizes) {
      const std::string floor = floorName(size, bm.name);
      benchmark::RegisterBenchmark(floor.c_str(), benchFloor, size, floor)->MinTime(0.2)->UseRealTime();
      for (int32_t state : kStates) {
        const std::string key = bm.name + "/" + size.name + "/state" + std::to_string(state);
        resultOrder.push_back(key);
        benchmark::RegisterBenchmark(("VOXIM/" + key).c_str(), benchVoxim, &bm, size, state, key)->MinTime(0.2)->UseRealTime();
#if defined(QUIRLA_HAVE_OSMESA)
        benchmark::RegisterBenchmark(("OSMesa/" + key).c_str(), benchGl, &bm, size, state, key)->MinTime(0.2)->UseRealTime();
#endif
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printTable();
  vxmRenderShutdown();
  for (BenchModel& bm : models) {
    vxmModelFree(bm.model);
    vxmBitmapFree(bm.ownTexture);
  }
#if defined(QUIRLA_HAVE_OSMESA)
  if (glContext) OSMesaDestroyContext(glContext);
#endif
  return steadyAllocations == 0 ? 0 : 1;
}
