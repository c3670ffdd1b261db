// render_scenes_test.cpp: a fixed set of whole frames (several lathe models, every render
// state, a textured label, the highlight, a single-facet redraw) whose FNV-1a hashes must match
// the table below on every build: the host binary and the Windows binary under Wine check the
// same table, which proves they draw the same bytes. Every frame is also checked for content.
//
// After a deliberate change to the drawing, print the new table with
// QUIRLA_PRINT_RENDER_HASHES=1 and paste it below; never loosen the comparison.
// QUIRLA_RENDER_SCENES_DIR=folder also writes every frame there as a BMP file to look at.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "RenderTestScene.h"
#include "TestSupport.h"

namespace {

constexpr uint32_t kSceneBackground = 0x203040;
constexpr int32_t kLabelWidth = 64, kLabelHeight = 32;

// The label: red with a white band and dark blocks standing for letters; its top rows blue, so
// an upside-down label shows.
uint32_t labelColour(int32_t x, int32_t y) {
  if (y >= 26) return 0x2040C0;
  if (y >= 12 && y < 20 && (x / 4) % 3 != 2 && x % 16 < 13) return 0x101010;
  if (y >= 8 && y < 24) return 0xF0F0F0;
  return 0xC02020;
}

// A can: bottom cap, wall, top cap, turned about Y. Wall facets carry the label, mapped so that
// it reads from left to right on the side that faces the viewer.
TestModel makeCan(VxmBitmap* label) {
  const VxmVector profile[] = {{0.0f, -1.0f, 0.0f}, {0.6f, -1.0f, 0.0f}, {0.6f, -0.6f, 0.0f}, {0.6f, -0.2f, 0.0f},
                               {0.6f, 0.2f, 0.0f},  {0.6f, 0.6f, 0.0f},  {0.6f, 1.0f, 0.0f},  {0.0f, 1.0f, 0.0f}};
  const int32_t P = 8, S = 24;
  TestModel can(vxmModelCreateLathe(profile, P, nullptr, S));
  if (!can) return can;
  vxmModelCalcAverageNormals(can.get());
  for (int32_t t = 0; t < can->triCount; ++t) {
    VxmTri* tri = &can->tris[t];
    tri->colour = 0xB0B0B8;
    bool wall = true, closing = false;
    for (int k = 0; k < 3; ++k) {
      const int32_t p = tri->v[k] % P;
      wall = wall && p >= 1 && p <= 6;
      closing = closing || tri->v[k] / P == S - 1;
    }
    if (!wall || !label) continue;
    tri->texture = label;
    for (int k = 0; k < 3; ++k) {
      const int32_t ring = tri->v[k] / P, p = tri->v[k] % P;
      int32_t u = (S - ring) * kLabelWidth * 4096 / S;
      if (ring == 0) u = closing ? 0 : kLabelWidth * 4096 - 1;
      const int32_t v = (p - 1) * (kLabelHeight * 4096 - 1) / 5;
      tri->uv[2 * k] = u;
      tri->uv[2 * k + 1] = v;
    }
  }
  return can;
}

// A vase without vertex normals, in two colours.
TestModel makeVase() {
  VxmVector profile[14];
  for (int i = 0; i < 14; ++i) {
    const double t = i / 13.0;
    profile[i] = {(float)(0.35 + 0.25 * vxmMathSin(t * 5.0) + (i == 0 || i == 13 ? -0.35 : 0.0)), (float)(t * 2.4 - 1.2), 0.0f};
  }
  TestModel lathe(vxmModelCreateLathe(profile, 14, nullptr, 18));
  if (!lathe) return lathe;
  // The same vertices and facets in a model without a normal table, as a file without normals.
  TestModel vase(vxmModelCreate(lathe->vertexCount, 0, lathe->triCount));
  if (!vase) return vase;
  for (int32_t i = 0; i < lathe->vertexCount; ++i) vase->vertices[i] = lathe->vertices[i];
  for (int32_t t = 0; t < lathe->triCount; ++t) {
    vase->tris[t] = lathe->tris[t];
    for (int k = 0; k < 3; ++k) vase->tris[t].n[k] = -1;
    vase->tris[t].colour = (t / 26) % 2 ? 0x3080D0 : 0xE0C040;
  }
  return vase;
}

// A ring: a circle of 12 points swept about Y, smooth, with the highlight on.
TestModel makeTorus() {
  VxmVector profile[13], normals[13];
  for (int i = 0; i <= 12; ++i) {
    const double a = i * 6.283185307179586 / 12.0;
    const double c = vxmMathCos(a), s = vxmMathSin(a);
    profile[i] = {(float)(0.7 + 0.3 * c), (float)(0.3 * s), 0.0f};
    normals[i] = {(float)c, (float)s, 0.0f};
  }
  TestModel torus(vxmModelCreateLathe(profile, 13, normals, 20));
  if (!torus) return torus;
  for (int32_t t = 0; t < torus->triCount; ++t) {
    torus->tris[t].colour = 0x40A060;
    for (int k = 0; k < 3; ++k) torus->tris[t].n[k] = torus->tris[t].v[k];
  }
  torus->highlight = true;
  return torus;
}

struct Scene {
  const char* name;
  int model;  // 0 can, 1 vase, 2 torus
  int32_t state;
  int32_t width, height;
  float rx, ry, rz;
  bool highlight;
  int redrawFacet;  // >= 0: then vxmRenderModelTri of this facet in state 1 over the frame
};

// The frame as a 24-bit BMP file, rows bottom-up as in memory.
void writeBmp(const std::string& path, const VxmBitmap* frame) {
  std::string bytes = "BM";
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back((char)(v >> (8 * i)));
  };
  put32(54 + (uint32_t)frame->bitsSize);
  put32(0);
  put32(54);
  put32(40);
  put32((uint32_t)frame->width);
  put32((uint32_t)frame->height);
  put32(1 | 24u << 16);
  for (int i = 0; i < 6; ++i) put32(0);
  bytes.append((const char*)frame->bits, (size_t)frame->bitsSize);
  testWriteFile(path, bytes);
}

uint64_t fnv1a(const VxmBitmap* bitmap) {
  uint64_t hash = 1469598103934665603ull;
  for (int32_t y = 0; y < bitmap->height; ++y)
    for (int32_t i = 0; i < 3 * bitmap->width; ++i) {
      hash ^= bitmap->lineTable[y][i];
      hash *= 1099511628211ull;
    }
  return hash;
}

std::vector<Scene> scenes() {
  std::vector<Scene> list;
  static const char* canNames[16] = {"can-0", "can-1", "can-2", "can-3", "can-4", "can-5", "can-6", "can-7",
                                     "can-8", "can-9", "can-10", "can-11", "can-12", "can-13", "can-14", "can-15"};
  for (int32_t state = 0; state < 16; ++state) list.push_back({canNames[state], 0, state, 96, 96, 0.35f, 0.5f, 0.0f, false, -1});
  list.push_back({"can-11-tilted", 0, 11, 127, 127, -0.6f, 2.2f, 0.3f, false, -1});
  list.push_back({"can-7-wide", 0, 7, 160, 90, 0.2f, -0.4f, 0.1f, false, -1});
  list.push_back({"can-11-highlight", 0, 11, 96, 96, 0.35f, 0.5f, 0.0f, true, -1});
  list.push_back({"can-7-highlight", 0, 7, 96, 96, 0.35f, 0.5f, 0.0f, true, -1});
  list.push_back({"can-11-redraw", 0, 11, 96, 96, 0.35f, 0.5f, 0.0f, false, 90});
  list.push_back({"vase-7", 1, 7, 96, 96, 0.3f, 0.2f, 0.0f, false, -1});
  list.push_back({"vase-5", 1, 5, 96, 96, -0.5f, 1.0f, 0.2f, false, -1});
  list.push_back({"vase-9", 1, 9, 96, 96, 0.3f, 0.2f, 0.0f, false, -1});
  list.push_back({"vase-0", 1, 0, 96, 96, 0.3f, 0.2f, 0.0f, false, -1});
  list.push_back({"torus-9", 2, 9, 120, 120, 1.1f, 0.3f, 0.0f, true, -1});
  list.push_back({"torus-11", 2, 11, 120, 120, 0.5f, 0.0f, 0.7f, true, -1});
  list.push_back({"torus-5", 2, 5, 120, 120, 1.1f, 0.3f, 0.0f, false, -1});
  return list;
}

// Generated once on the host; the Windows build must agree.
const std::pair<const char*, uint64_t> kExpected[] = {
    {"can-0", 0xAF085114BF35682Dull},
    {"can-1", 0x2D1BB03859401E93ull},
    {"can-2", 0x0E0864B7953705D0ull},
    {"can-3", 0xCFBD4A1D7082488Bull},
    {"can-4", 0xAF085114BF35682Dull},
    {"can-5", 0x1DE69ED1AB1A0FD4ull},
    {"can-6", 0xA5DFBC4E8F8D79B0ull},
    {"can-7", 0x76B4575076619940ull},
    {"can-8", 0xAF085114BF35682Dull},
    {"can-9", 0xA40F4E416C3C9633ull},
    {"can-10", 0x264FBD7088B13FC2ull},
    {"can-11", 0x0B1E332F483D3025ull},
    {"can-12", 0xAF085114BF35682Dull},
    {"can-13", 0xAF085114BF35682Dull},
    {"can-14", 0xAF085114BF35682Dull},
    {"can-15", 0xAF085114BF35682Dull},
    {"can-11-tilted", 0x0F90D0902400E23Bull},
    {"can-7-wide", 0xF1E52DAD574F2137ull},
    {"can-11-highlight", 0xB682537568E5F4AEull},
    {"can-7-highlight", 0x5BC1BD65230BF4C1ull},
    {"can-11-redraw", 0x036586A24ED0D446ull},
    {"vase-7", 0xD958C33D15BFC025ull},
    {"vase-5", 0xE624AD6A0A4B06E9ull},
    {"vase-9", 0xA71353EB6B5ED8B3ull},
    {"vase-0", 0x515A12CAF1FDF7ECull},
    {"torus-9", 0xF5FB1142B7ED8EE6ull},
    {"torus-11", 0xFA7D4417CF8321E7ull},
    {"torus-5", 0x45E9F47ED22DBD48ull},
};

uint64_t expectedHash(const char* name) {
  for (const auto& entry : kExpected)
    if (std::string(entry.first) == name) return entry.second;
  return 0;
}

class RenderScenesTest : public RenderTest {};

// The frame of one scene: the model fitted into the smaller side as the screensaver fits it,
// turned about X, then Y, then Z.
void renderScene(const Scene& scene, VxmModel* model, VxmBitmap* target) {
  VxmRenderFit fit;
  ASSERT_TRUE(vxmRenderFitModel(model, std::min(scene.width, scene.height), &fit));
  VxmMatrix turn;
  model->matrix = fit.base;
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateX(&turn, scene.rx));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateY(&turn, scene.ry));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateZ(&turn, scene.rz));
  model->highlight = scene.highlight;
  vxmRenderSetTarget(target);
  vxmRenderSetViewMatrix(&fit.view);
  testFill(target, kSceneBackground);
  vxmRenderSetState(scene.state);
  vxmRenderClearDepth();
  ASSERT_TRUE(vxmRenderModel(model));
  if (scene.redrawFacet >= 0) {
    model->tris[scene.redrawFacet].colour = 0xFF00FF;
    vxmRenderSetState(VXM_RENDER_COLOUR);
    ASSERT_TRUE(vxmRenderModelTri(model, scene.redrawFacet));
    model->tris[scene.redrawFacet].colour = 0xB0B0B8;
  }
}

// What every frame must show besides its hash: something of the right kind, inside the circle
// the model was fitted into.
void checkContent(const Scene& scene, const VxmBitmap* frame, int32_t screenRadius) {
  int drawn = 0, white = 0, labelPixels = 0, outside = 0;
  std::set<uint32_t> colours;
  const double cx = frame->width * 0.5, cy = frame->height * 0.5;
  for (int32_t y = 0; y < frame->height; ++y)
    for (int32_t x = 0; x < frame->width; ++x) {
      const uint32_t c = testPixel(frame, x, y);
      if (c == kSceneBackground) continue;
      ++drawn;
      colours.insert(c);
      white += c == 0xFFFFFF;
      labelPixels += c == 0xC02020 || c == 0xF0F0F0 || c == 0x101010 || c == 0x2040C0;
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      outside += dx * dx + dy * dy > (screenRadius + 2.0) * (screenRadius + 2.0);
    }
  SCOPED_TRACE(scene.name);
  EXPECT_EQ(outside, 0);
  const double circle = 3.14159 * screenRadius * screenRadius;
  const int32_t s = scene.state;
  const bool wireOnly = !(s == 1 || s == 2 || s == 3 || s == 5 || s == 6 || s == 7 || s == 9 || s == 10 || s == 11);
  if (wireOnly) {
    EXPECT_EQ(white, drawn);
    EXPECT_GT(drawn, circle * 0.05);
    return;
  }
  if (s == 2 || s == 6 || s == 10) {
    // The caps' wireframes and the textured wall.
    EXPECT_GT(white, 20);
    EXPECT_GT(drawn - white, circle * 0.2);
  } else {
    EXPECT_GT(drawn, circle * 0.25);
  }
  if (scene.model == 0 && (s == 2 || s == 3)) {
    EXPECT_GT(labelPixels, drawn / 4);
  }
  if (scene.model == 1 && s == 9) {
    EXPECT_LE(colours.size(), 2u);  // no normals: flat colours
  } else if (s == 9 || s == 10 || s == 11) {
    EXPECT_GT(colours.size(), 25u);
  }
  if (s == 5 || s == 6 || s == 7) {
    EXPECT_GT(colours.size(), 4u);
  }
  if (scene.redrawFacet >= 0) {
    EXPECT_GT(colours.count(0xFF00FF), 0u);
  }
}

TEST_F(RenderScenesTest, EveryBuildDrawsTheSameFrames) {
  start(16, 16);
  TestBitmap label = testTexture(kLabelWidth, kLabelHeight, labelColour);
  TestModel models[3] = {makeCan(label.get()), makeVase(), makeTorus()};
  for (const TestModel& m : models) ASSERT_TRUE(m);
  ASSERT_EQ(models[1]->vertexNormalCount, 0);

  const bool print = std::getenv("QUIRLA_PRINT_RENDER_HASHES") != nullptr;
  for (const Scene& scene : scenes()) {
    TestBitmap frame(vxmBitmapCreate(scene.width, scene.height, 24));
    vxmLightSetAmbient(0xFFFFFF);
    vxmLightSetDirectional(0x7F7F7F);
    const VxmVector light = {-0.5f, -0.4f, 0.766f};  // travelling left, down and away: from the upper right
    vxmLightSetDirection(&light);
    renderScene(scene, models[scene.model].get(), frame.get());
    VxmRenderFit fit;
    vxmRenderFitModel(models[scene.model].get(), std::min(scene.width, scene.height), &fit);
    checkContent(scene, frame.get(), fit.screenRadius);
    if (const char* folder = std::getenv("QUIRLA_RENDER_SCENES_DIR"))
      writeBmp(testJoin(folder, std::string(scene.name) + ".bmp"), frame.get());
    const uint64_t hash = fnv1a(frame.get());
    if (print) std::printf("    {\"%s\", 0x%016llXull},\n", scene.name, (unsigned long long)hash);
    EXPECT_EQ(hash, expectedHash(scene.name)) << scene.name;
  }
  vxmRenderSetTarget(target);
}

}  // namespace
