// 3ds_test.cpp: the 3DS reader on hand-built chunk streams: merging, axis swap, materials and
// colours, every chunk type of the reader's table, hostile lengths and indices, failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ChunkBytes.h"
#include "TestSupport.h"
#include "app.h"
#include "appPlatform.h"
#include "vxm3ds.h"
#include "vxmMem.h"
#include "vxmModel.h"

#if !defined(_WIN32)
#include "appHost.h"
#endif

namespace {

// --- Building chunk streams -----------------------------------------------------------------

// A chunk whose header claims `length` whatever its body holds.
std::string rawChunk(unsigned id, uint32_t length, const std::string& body) { return u16(id) + u32(length) + body; }

struct V3 {
  float x, y, z;
};
struct F3 {
  unsigned a, b, c;
};

std::string vertexList(const std::vector<V3>& vs) {
  std::string body = u16(unsigned(vs.size()));
  for (const V3& v : vs) body += f32(v.x) + f32(v.y) + f32(v.z);
  return chunk(0x4110, body);
}

std::string faceList(const std::vector<F3>& fs, const std::string& sub = "") {
  std::string body = u16(unsigned(fs.size()));
  for (const F3& f : fs) body += u16(f.a) + u16(f.b) + u16(f.c) + u16(7);
  return chunk(0x4120, body + sub);
}

std::string faceMaterial(const std::string& name, const std::vector<unsigned>& faces) {
  std::string body = str(name) + u16(unsigned(faces.size()));
  for (unsigned f : faces) body += u16(f);
  return chunk(0x4130, body);
}

std::string object(const std::string& name, const std::string& meshBody) {
  return chunk(0x4000, str(name) + chunk(0x4100, meshBody));
}

std::string rgbByte(unsigned r, unsigned g, unsigned b) { return chunk(0x11, std::string{char(r), char(g), char(b)}); }
std::string rgbFloat(float r, float g, float b) { return chunk(0x10, f32(r) + f32(g) + f32(b)); }

// A material as 3D Studio writes it: name, then ambient, diffuse and specular colours.
std::string material(const std::string& name, const std::string& ambient, const std::string& diffuse = "",
                     const std::string& specular = "") {
  std::string body = chunk(0xA000, str(name));
  if (!ambient.empty()) body += chunk(0xA010, ambient);
  if (!diffuse.empty()) body += chunk(0xA020, diffuse);
  if (!specular.empty()) body += chunk(0xA030, specular);
  return chunk(0xAFFF, body);
}

std::string mainChunk(const std::string& meshData, const std::string& after = "") {
  return chunk(0x4D4D, chunk(0x0002, u32(3)) + chunk(0x3D3D, meshData) + after);
}

std::string numbered(const char* stem, unsigned i) {
  std::string name = stem;
  name += std::to_string(i);
  return name;
}

// A unit triangle object: 3 vertices, 1 face (0, 1, 2).
std::string triangle(const std::string& name = "tri", const std::string& faceSub = "") {
  return object(name, vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faceList({{0, 1, 2}}, faceSub));
}

// --- Loading -------------------------------------------------------------------------------------

class ThreeDS : public ::testing::Test {
 protected:
  TraceCapture trace;
  std::string dir;
  void SetUp() override {
    dir = testScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
#if defined(_WIN32)
    appSetInstallFolder((dir + "\\").c_str());
    appEnableMessages(false);  // a real box would wait for a click; the host suite checks them
#else
    appHostSetInstallPath(dir.c_str());
#endif
  }
  void TearDown() override { vxmMemFailAfter(-1); }

  // Writes the bytes as a file in the scratch folder and loads it by its plain name.
  VxmModel* load(const std::string& bytes, const std::string& name = "model.3ds") {
    EXPECT_TRUE(testWriteFile(testJoin(dir, name), bytes));
    return vxmModelLoad3DS(name.c_str());
  }
};

void expectTri(const VxmModel* m, int index, int a, int b, int c) {
  ASSERT_LT(index, m->triCount);
  EXPECT_EQ(m->tris[index].v[0], a) << "facet " << index;
  EXPECT_EQ(m->tris[index].v[1], b) << "facet " << index;
  EXPECT_EQ(m->tris[index].v[2], c) << "facet " << index;
}

void expectVertex(const VxmModel* m, int index, float x, float y, float z) {
  ASSERT_LT(index, m->vertexCount);
  EXPECT_EQ(m->vertices[index].x, x) << "vertex " << index;
  EXPECT_EQ(m->vertices[index].y, y) << "vertex " << index;
  EXPECT_EQ(m->vertices[index].z, z) << "vertex " << index;
}

// Every facet index lies within the vertex table.
void expectIndicesInside(const VxmModel* m) {
  for (int i = 0; i < m->triCount; ++i)
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(m->tris[i].v[k], 0);
      EXPECT_LT(m->tris[i].v[k], m->vertexCount);
    }
}

// --- Geometry ------------------------------------------------------------------------------------

TEST_F(ThreeDS, TwoObjectsMergeWithBasesAxisSwapAndTwins) {
  std::string a = object("first", vertexList({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) +
                                      faceList({{0, 1, 2}, {0, 2, 3}}));
  std::string b = object("second", vertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}) + faceList({{2, 1, 0}}));
  VxmModel* m = load(mainChunk(a + b));
  ASSERT_NE(m, nullptr);
  int32_t vertices = -1, faces = -1;
  ASSERT_TRUE(vxm3dsCount("model.3ds", &vertices, &faces));
  EXPECT_EQ(vertices, 7);
  EXPECT_EQ(faces, 3);

  EXPECT_EQ(m->vertexCount, 7);
  ASSERT_EQ(m->triCount, 6);
  expectTri(m, 0, 0, 1, 2);
  expectTri(m, 1, 1, 0, 2);
  expectTri(m, 2, 0, 2, 3);
  expectTri(m, 3, 2, 0, 3);
  expectTri(m, 4, 6, 5, 4);  // the second object's indices are offset by its 4 predecessors
  expectTri(m, 5, 5, 6, 4);
  // The file's (x, y, z) is the model's (x, z, y).
  expectVertex(m, 2, 1, 0, 1);
  expectVertex(m, 4, 1, 3, 2);
  expectVertex(m, 5, 4, 6, 5);
  expectVertex(m, 6, 7, 9, 8);

  EXPECT_STREQ(m->fileName, "Untitled.vxm");
  EXPECT_EQ(m->textureCount, 0);
  EXPECT_EQ(m->vertexNormalCount, 0);
  EXPECT_EQ(m->vertexNormals, nullptr);
  EXPECT_FALSE(m->highlight);
  EXPECT_EQ(m->highlightValue, 90);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(m->matrix.m[i], (i == 0 || i == 4 || i == 8) ? 1.0f : 0.0f);
  for (int i = 0; i < m->triCount; ++i) {
    EXPECT_EQ(m->tris[i].colour, 0x7F7F7Fu);
    EXPECT_EQ(m->tris[i].texture, nullptr);
  }
  // Normals are computed after doubling: face 0 lies in the file's XY plane, the model's XZ
  // plane, and its twin faces the other way.
  EXPECT_EQ(m->tris[0].normal.x, 0.0f);
  EXPECT_EQ(std::abs(m->tris[0].normal.y), 1.0f);
  EXPECT_EQ(m->tris[0].normal.z, 0.0f);
  EXPECT_EQ(m->tris[1].normal.y, -m->tris[0].normal.y);
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(m);
}

TEST_F(ThreeDS, ReadingTwiceGivesTheSameModel) {
  std::string bytes = mainChunk(material("red", rgbByte(255, 0, 0)) + triangle("t", faceMaterial("red", {0})));
  VxmModel* first = load(bytes);
  VxmModel* second = vxmModelLoad3DS("model.3ds");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(first->triCount, second->triCount);
  for (int i = 0; i < first->triCount; ++i) {
    EXPECT_EQ(first->tris[i].colour, 0xFF0000u);
    EXPECT_EQ(second->tris[i].colour, 0xFF0000u);
    EXPECT_EQ(std::memcmp(first->tris[i].v, second->tris[i].v, sizeof first->tris[i].v), 0);
  }
  vxmModelFree(first);
  vxmModelFree(second);
}

TEST_F(ThreeDS, FaceListBeforeVertexListAndFacesWithoutVertices) {
  // Within an object the face list may come first: it uses the base of the latest vertex list,
  // which is the previous object's.
  std::string a = triangle("a");
  std::string b = object("b", faceList({{1, 2, 0}}) + vertexList({{5, 5, 5}, {6, 6, 6}, {7, 7, 7}}));
  VxmModel* m = load(mainChunk(a + b));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 6);
  ASSERT_EQ(m->triCount, 4);
  expectTri(m, 2, 1, 2, 0);
  expectTri(m, 3, 2, 1, 0);
  vxmModelFree(m);
}

// --- Materials -----------------------------------------------------------------------------------

TEST_F(ThreeDS, FloatAndByteColoursAndTheFirstColourAfterTheName) {
  std::string mats = material("float", rgbFloat(0.5f, 1.0f, 0.25f), rgbByte(1, 2, 3)) +
                     material("byte", rgbByte(0x12, 0x34, 0x56), rgbFloat(1, 1, 1)) +
                     // No ambient: the diffuse colour comes first.
                     chunk(0xAFFF, chunk(0xA000, str("diffuse")) + chunk(0xA020, rgbByte(9, 8, 7)) +
                                       chunk(0xA030, rgbByte(1, 1, 1)));
  std::string obj = object("o", vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                    faceList({{0, 1, 2}, {1, 3, 2}, {0, 2, 3}, {0, 3, 1}},
                                             faceMaterial("float", {0}) + faceMaterial("byte", {1}) +
                                                 faceMaterial("diffuse", {2})));
  VxmModel* m = load(mainChunk(mats + obj));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 8);
  const uint32_t expected[4] = {0x7FFF3F, 0x123456, 0x090807, 0x7F7F7F};
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(m->tris[2 * f].colour, expected[f]) << "face " << f;
    EXPECT_EQ(m->tris[2 * f + 1].colour, expected[f]) << "twin of face " << f;
  }
  vxmModelFree(m);
}

TEST_F(ThreeDS, FloatComponentsKeepTheLowEightBitsOfTheTruncatedValue) {
  struct Case {
    float r, g, b;
    uint32_t colour;
  } cases[] = {
      {0.999f, 0.0039f, 0.0f, 0xFE0000},  // 254.745 -> 254; 0.99 -> 0
      {2.0f, -0.5f, 1.5f, 0xFE817E},      // 510 -> 0x1FE; -127.5 -> -127 = ...FF81; 382.5 -> 0x17E
      {1e20f, -1e20f, 0.2f, 0x000033},    // beyond 32 bits -> 0; 51.0000007 -> 51
  };
  for (const Case& c : cases) {
    std::string bytes = mainChunk(material("m", rgbFloat(c.r, c.g, c.b)) + triangle("t", faceMaterial("m", {0})));
    VxmModel* m = load(bytes);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->tris[0].colour, c.colour) << c.r << " " << c.g << " " << c.b;
    vxmModelFree(m);
  }
  float nan;
  uint32_t nanBits = 0x7FC00000;
  std::memcpy(&nan, &nanBits, 4);
  VxmModel* m = load(mainChunk(material("m", rgbFloat(nan, 1.0f, nan)) + triangle("t", faceMaterial("m", {0}))));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->tris[0].colour, 0x00FF00u);
  vxmModelFree(m);
}

TEST_F(ThreeDS, UnknownMaterialAndUnnamedFaces) {
  std::string obj = object("o", vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                    faceList({{0, 1, 2}, {1, 3, 2}}, faceMaterial("nowhere", {1})));
  VxmModel* m = load(mainChunk(material("known", rgbByte(1, 2, 3)) + obj));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 4);
  EXPECT_EQ(m->tris[0].colour, 0x7F7F7Fu);
  EXPECT_EQ(m->tris[1].colour, 0x7F7F7Fu);
  EXPECT_EQ(m->tris[2].colour, 0xC0C0C0u);
  EXPECT_EQ(m->tris[3].colour, 0xC0C0C0u);
  vxmModelFree(m);
}

TEST_F(ThreeDS, NameWithoutColourIsOverwrittenByTheNextName) {
  std::string mats = chunk(0xAFFF, chunk(0xA000, str("first"))) + material("second", rgbByte(0, 0, 200));
  std::string obj = object("o", vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                    faceList({{0, 1, 2}, {1, 3, 2}}, faceMaterial("first", {0}) +
                                                                         faceMaterial("second", {1})));
  VxmModel* m = load(mainChunk(mats + obj));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->tris[0].colour, 0xC0C0C0u);
  EXPECT_EQ(m->tris[2].colour, 0x0000C8u);
  vxmModelFree(m);
}

TEST_F(ThreeDS, FaceMaterialBeforeItsMaterialGetsNoMaterialColour) {
  std::string bytes = mainChunk(triangle("t", faceMaterial("late", {0})) + material("late", rgbByte(10, 20, 30)) +
                                triangle("u", faceMaterial("late", {0})));
  VxmModel* m = load(bytes);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 4);
  EXPECT_EQ(m->tris[0].colour, 0xC0C0C0u);
  EXPECT_EQ(m->tris[2].colour, 0x0A141Eu);
  vxmModelFree(m);
}

TEST_F(ThreeDS, AnyColourChunkCompletesThePendingMaterial) {
  // A colour inside the background colour follows the material name: the material takes it.
  // A colour with no material pending changes nothing; the second name gets its own colour.
  std::string bytes = mainChunk(chunk(0x1200, rgbByte(1, 1, 1)) + chunk(0xAFFF, chunk(0xA000, str("a"))) +
                                chunk(0x1200, rgbByte(0x44, 0x55, 0x66)) + chunk(0x2100, rgbByte(9, 9, 9)) +
                                material("b", rgbByte(0x77, 0x88, 0x99)) +
                                triangle("t", faceMaterial("a", {0})) + triangle("u", faceMaterial("b", {0})));
  VxmModel* m = load(bytes);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 4);
  EXPECT_EQ(m->tris[0].colour, 0x445566u);
  EXPECT_EQ(m->tris[2].colour, 0x778899u);
  vxmModelFree(m);
}

TEST_F(ThreeDS, ManyMaterialsGrowTheTableAndTheFirstOfTwoNamesWins) {
  std::string mats, faceMats;
  std::vector<F3> faces;
  std::vector<V3> verts;
  for (unsigned i = 0; i < 11; ++i) {
    mats += material(numbered("m", i), rgbByte(i, 2 * i, 3 * i));
    verts.push_back({float(i), 0, 0});
    faces.push_back({11, i, (i + 1) % 11});
    faceMats += faceMaterial(numbered("m", i), {i});
  }
  mats += material("m3", rgbByte(0xAA, 0xBB, 0xCC));  // a second "m3": the first entry wins
  verts.push_back({0, 5, 0});
  VxmModel* m = load(mainChunk(mats + object("o", vertexList(verts) + faceList(faces, faceMats))));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 22);
  for (unsigned i = 0; i < 11; ++i) EXPECT_EQ(m->tris[2 * i].colour, i << 16 | (2 * i) << 8 | 3 * i) << i;
  vxmModelFree(m);
}

TEST_F(ThreeDS, MaterialNamesAreCaseSensitiveAndLongNamesStayComparable) {
  std::string longName(300, 'x');
  std::string bytes = mainChunk(material("Steel", rgbByte(1, 2, 3)) + material(longName, rgbByte(4, 5, 6)) +
                                triangle("a", faceMaterial("steel", {0})) + triangle("b", faceMaterial(longName, {0})) +
                                triangle("c", faceMaterial(std::string(255, 'x') + "y", {0})));
  VxmModel* m = load(bytes);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 6);
  EXPECT_EQ(m->tris[0].colour, 0xC0C0C0u);
  EXPECT_EQ(m->tris[2].colour, 0x040506u);
  // Names are compared on the 255 characters an entry keeps.
  EXPECT_EQ(m->tris[4].colour, 0x040506u);
  vxmModelFree(m);
}

TEST_F(ThreeDS, FaceMaterialIndicesBeyondTheObjectsFacesAreIgnored) {
  std::string a = object("a", vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + faceList({{0, 1, 2}}));
  std::string b = object("b", vertexList({{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}) +
                                  faceList({{0, 1, 2}}, faceMaterial("red", {0, 1, 7, 65535})));
  VxmModel* m = load(mainChunk(material("red", rgbByte(255, 0, 0)) + a + b + triangle("c")));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 6);
  EXPECT_EQ(m->tris[0].colour, 0x7F7F7Fu);
  EXPECT_EQ(m->tris[2].colour, 0xFF0000u);
  EXPECT_EQ(m->tris[4].colour, 0x7F7F7Fu);  // index 1 of object b is not object c's face 0
  vxmModelFree(m);
}

// --- The chunk table -----------------------------------------------------------------------------

// Each id of the table placed inside the mesh data, holding a complete second object: the
// containers and the handlers that walk their sub-chunks find it; the rest pass over it.
TEST_F(ThreeDS, EveryChunkTypeDescendsOrPassesOver) {
  const unsigned containers[] = {0xC23D, 0x3DAA, 0x4D4D, 0x3D3D, 0x1200, 0x2100, 0x4100, 0x4F00,
                                 0x7001, 0xAFFF, 0xA010, 0xA020, 0xA030, 0xA200, 0xA230, 0xB000,
                                 0xB001, 0xB002, 0xB003, 0xB004, 0xB005, 0xB006, 0xB007, 0xB023, 0xB024};
  const unsigned passedOver[] = {0x4140, 0x4150, 0x4160, 0x4610, 0x4700, 0xA300, 0xB008,
                                 0xB010, 0xB013, 0xB020, 0xB021, 0xB022, 0xB030,
                                 // and ids the table does not know
                                 0x0000, 0x0012, 0x4111, 0xFFFF};
  const std::string inner = triangle("inner");
  auto countWith = [&](const std::string& wrapped) {
    VxmModel* m = load(mainChunk(triangle("outer") + wrapped));
    int vertices = m ? m->vertexCount : -1;
    vxmModelFree(m);
    return vertices;
  };
  for (unsigned id : containers) EXPECT_EQ(countWith(chunk(id, inner)), 6) << std::hex << id;
  for (unsigned id : passedOver) EXPECT_EQ(countWith(chunk(id, inner)), 3) << std::hex << id;
  // Object block: a name first; light: 12 bytes of position first; face list: its faces first.
  EXPECT_EQ(countWith(chunk(0x4000, str("named") + inner)), 6);
  EXPECT_EQ(countWith(chunk(0x4600, std::string(12, '\x01') + inner)), 6);
  EXPECT_EQ(countWith(chunk(0x4120, u16(0) + inner)), 6);
  // The data chunks do not walk their contents as sub-chunks.
  EXPECT_EQ(countWith(chunk(0xA000, str("name") + inner)), 3);
  EXPECT_EQ(countWith(chunk(0x4130, str("name") + u16(0) + inner)), 3);
  EXPECT_EQ(countWith(chunk(0x0010, std::string(12, '\0') + inner)), 3);
  EXPECT_EQ(countWith(chunk(0x0011, std::string(3, '\0') + inner)), 3);
  EXPECT_TRUE(trace.lines.empty());
}

TEST_F(ThreeDS, ZeroLengthChunkEndsItsLevelOnly) {
  // Inside the first object's tri-mesh: its face list is never reached, the next object is.
  std::string a = object("a", vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) + rawChunk(0x4150, 0, "") +
                                  faceList({{0, 1, 2}}));
  VxmModel* m = load(mainChunk(a + triangle("b")));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 6);
  ASSERT_EQ(m->triCount, 2);
  expectTri(m, 0, 3, 4, 5);
  vxmModelFree(m);

  // At the mesh level: everything after it is lost.
  m = load(mainChunk(triangle("a") + rawChunk(0x1234, 0, "") + triangle("b")));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 3);
  vxmModelFree(m);
}

// --- Hostile and truncated files -----------------------------------------------------------------

TEST_F(ThreeDS, LengthsBelowAHeaderEndTheLevel) {
  // Were the length of 5 taken, the walk would go on 5 bytes after the chunk's start, read
  // the id 0x4100 from the bytes there and find a tri-mesh holding one vertex.
  const std::string hidden = vertexList({{9, 9, 9}});
  const std::string body = std::string("\x41") + u32(uint32_t(6 + hidden.size())) + hidden;
  for (uint32_t length : {1u, 5u}) {
    VxmModel* m = load(mainChunk(triangle("a") + rawChunk(0x4150, length, body) + triangle("b")));
    ASSERT_NE(m, nullptr) << length;
    EXPECT_EQ(m->vertexCount, 3) << length;
    vxmModelFree(m);
  }
}

TEST_F(ThreeDS, ChunkReachingPastItsParentIsTheLastOfItsLevel) {
  // A passed-over chunk claims far more than the mesh data holds: the object after it is lost,
  // but the walk goes on after the mesh data (a light with a vertex list proves it).
  std::string overlong = rawChunk(0x4160, 0xFFFFFFF0u, std::string(7, '\0'));
  std::string after = chunk(0x4600, std::string(12, '\0') + vertexList({{2, 2, 2}}));
  VxmModel* m = load(mainChunk(triangle("x") + overlong + triangle("lost"), after));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 4);
  ASSERT_EQ(m->triCount, 2);
  expectVertex(m, 3, 2, 2, 2);
  vxmModelFree(m);

  // An object that claims more is read up to its parent's end: everything after it on its
  // level becomes its contents.
  std::string big = rawChunk(0x4000, 0x7FFFFFFFu, str("big") + chunk(0x4100, vertexList({{0, 0, 0}, {1, 1, 1}})));
  m = load(mainChunk(triangle("x") + big + triangle("inside")));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 8);
  ASSERT_EQ(m->triCount, 4);
  expectTri(m, 2, 5, 6, 7);
  vxmModelFree(m);
}

TEST_F(ThreeDS, TruncatedFileKeepsWhatWasRead) {
  std::string full = mainChunk(triangle("a") + object("b", vertexList({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 1, 1}}) +
                                                             faceList({{0, 1, 2}})));
  // Cut in the middle of the second object's third vertex.
  std::string cut = full.substr(0, full.find(f32(7)) + 6);
  VxmModel* m = load(cut);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 5);
  ASSERT_EQ(m->triCount, 2);
  expectVertex(m, 3, 1, 3, 2);
  expectVertex(m, 4, 4, 6, 5);
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(m);
}

TEST_F(ThreeDS, CountsBeyondTheChunkAreBoundedByItsBytes) {
  // 65535 vertices and faces announced, 2 vertices and 1 face stored.
  std::string verts = chunk(0x4110, u16(65535) + f32(1) + f32(2) + f32(3) + f32(4) + f32(5) + f32(6));
  std::string faces = chunk(0x4120, u16(65535) + u16(0) + u16(1) + u16(1) + u16(0));
  VxmModel* m = load(mainChunk(object("o", verts + faces)));
  ASSERT_NE(m, nullptr);
  int32_t vertices = -1, faceCount = -1;
  ASSERT_TRUE(vxm3dsCount("model.3ds", &vertices, &faceCount));
  EXPECT_EQ(vertices, 2);
  EXPECT_EQ(faceCount, 1);
  EXPECT_EQ(m->vertexCount, 2);
  // (0, 1, 1) is its own reversed twin.
  ASSERT_EQ(m->triCount, 1);
  expectTri(m, 0, 0, 1, 1);
  expectVertex(m, 1, 4, 6, 5);
  vxmModelFree(m);
}

TEST_F(ThreeDS, FaceCornersOutsideTheVertexTableCollapseOntoTheVertexBase) {
  std::string b = object("b", vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}) +
                                  faceList({{0, 1, 2}, {0, 1, 4}, {65535, 0, 1}, {3, 1, 0}}));
  VxmModel* m = load(mainChunk(triangle("a") + b));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 7);
  // Face 1 of b reaches vertex 3 + 4 = 7, one beyond the table; face 2 much further.
  ASSERT_EQ(m->triCount, 8);
  expectTri(m, 2, 3, 4, 5);
  expectTri(m, 3, 4, 3, 5);
  expectTri(m, 4, 3, 3, 3);
  expectTri(m, 5, 3, 3, 3);  // both collapsed faces are their own twins: not doubled
  expectTri(m, 6, 6, 4, 3);
  expectTri(m, 7, 4, 6, 3);
  expectIndicesInside(m);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid vertex index"});
  ASSERT_EQ(trace.lines.size(), 1u);
  EXPECT_NE(trace.lines[0].find("3dsrdr.cpp("), std::string::npos);
  vxmModelFree(m);
}

TEST_F(ThreeDS, CornersOutsideWithoutAnyVertexListCollapseOntoVertexZero) {
  // The only vertices come after the face list that names vertex 9.
  std::string bytes = mainChunk(object("o", faceList({{9, 0, 1}}) + vertexList({{0, 0, 0}, {1, 0, 0}})));
  VxmModel* m = load(bytes);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 1);
  expectTri(m, 0, 0, 0, 0);
  EXPECT_TRUE(trace.has("Invalid vertex index"));
  vxmModelFree(m);
}

TEST_F(ThreeDS, DeepNestingNeitherOverflowsNorReadsTheDepths) {
  // 20000 nested containers around a vertex list, then a plain object at the top level.
  const int levels = 20000;
  const std::string deepest = vertexList({{1, 1, 1}});
  std::string nested;
  for (int i = levels; i > 0; --i) nested += u16(0x4D4D) + u32(uint32_t(deepest.size() + 6 * i));
  nested += deepest;
  VxmModel* m = load(nested + mainChunk(triangle("top")));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 3);
  vxmModelFree(m);

  // A few levels are nothing unusual.
  nested = triangle("shallow");
  for (int i = 0; i < 20; ++i) nested = chunk(0x4F00, nested);
  m = load(mainChunk(nested));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 3);
  vxmModelFree(m);
}

TEST_F(ThreeDS, UnterminatedNamesEndAtTheirChunk) {
  // An object name without its zero runs to the object's end: no tri-mesh inside is found,
  // and the following object is read normally.
  std::string broken = chunk(0x4000, std::string(40, 'n'));
  std::string brokenMaterial = chunk(0xAFFF, chunk(0xA000, "abc") + rgbByte(1, 2, 3));
  VxmModel* m = load(mainChunk(broken + brokenMaterial + triangle("ok", faceMaterial("abc", {0}))));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 3);
  EXPECT_EQ(m->tris[0].colour, 0x010203u);
  vxmModelFree(m);
}

// --- Failures -------------------------------------------------------------------------------------

TEST_F(ThreeDS, EmptyFileAndFileWithoutVerticesFailToCreateTheModel) {
  const std::vector<std::string> expected = {"Invalid Parameters", "Failed to create model"};
  EXPECT_EQ(load(""), nullptr);
  EXPECT_EQ(trace.messages(), expected);
  ASSERT_EQ(trace.lines.size(), 2u);
  EXPECT_NE(trace.lines[1].find("3dsrdr.cpp("), std::string::npos);

  trace.clear();
  EXPECT_EQ(load(mainChunk(material("m", rgbByte(1, 2, 3)))), nullptr);
  EXPECT_EQ(trace.messages(), expected);

  // Vertices without faces fail the same way.
  trace.clear();
  EXPECT_EQ(load(mainChunk(object("o", vertexList({{0, 0, 0}})))), nullptr);
  EXPECT_EQ(trace.messages(), expected);
}

TEST_F(ThreeDS, MissingFileAndNullName) {
  EXPECT_EQ(vxmModelLoad3DS("absent.3ds"), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to validate file: absent.3ds"});
  trace.clear();
  EXPECT_EQ(vxmModelLoad3DS(nullptr), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"});
  trace.clear();
  int32_t v = 0, f = 0;
  EXPECT_FALSE(vxm3dsCount("absent.3ds", &v, &f));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to validate file: absent.3ds"});
}

#if defined(_WIN32)
TEST_F(ThreeDS, FolderCannotBeOpened) {
  // A folder is found but cannot be opened as a file.
  ASSERT_TRUE(std::filesystem::create_directory(testJoin(dir, "folder.3ds")));
  EXPECT_EQ(vxmModelLoad3DS("folder.3ds"), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to open file: " + dir + "\\folder.3ds"});
}
#endif

TEST_F(ThreeDS, EveryFailedAllocationFailsCleanly) {
  std::string bytes;
  for (int i = 0; i < 6; ++i) bytes += material(numbered("m", i), rgbByte(i, i, i));
  bytes = mainChunk(bytes + triangle("t", faceMaterial("m5", {0})));
  ASSERT_TRUE(testWriteFile(testJoin(dir, "model.3ds"), bytes));
  long live = vxmMemLiveBlocks();
  long before = vxmMemAllocations();
  VxmModel* good = vxmModelLoad3DS("model.3ds");
  long used = vxmMemAllocations() - before;
  ASSERT_NE(good, nullptr);
  vxmModelFree(good);
  ASSERT_EQ(vxmMemLiveBlocks(), live);

  // The model's own allocations come first; the material table follows, then its growth.
  before = vxmMemAllocations();
  VxmModel* probe = vxmModelCreate(3, 0, 1);
  long modelAllocations = vxmMemAllocations() - before;
  vxmModelFree(probe);
  for (long n : {modelAllocations, modelAllocations + 1}) {
    trace.clear();
    vxmMemFailAfter(n);
    EXPECT_EQ(vxmModelLoad3DS("model.3ds"), nullptr) << n;
    vxmMemFailAfter(-1);
    EXPECT_EQ(trace.messages(), std::vector<std::string>{"Out of Memory!"}) << n;
    EXPECT_EQ(vxmMemLiveBlocks(), live) << n;
  }

  // Whatever allocation fails, the load either fails with a report or yields a whole model,
  // and nothing leaks.
  for (long n = 0; n < used; ++n) {
    trace.clear();
    vxmMemFailAfter(n);
    VxmModel* m = vxmModelLoad3DS("model.3ds");
    vxmMemFailAfter(-1);
    if (m) {
      expectIndicesInside(m);
      vxmModelFree(m);
    } else {
      EXPECT_TRUE(trace.has("Out of Memory!") || trace.has("Failed to create model")) << n;
    }
    EXPECT_EQ(vxmMemLiveBlocks(), live) << n;
  }
}

TEST_F(ThreeDS, LoadDispatchesOnTheExtensionInAnyCase) {
  ASSERT_TRUE(testWriteFile(testJoin(dir, "shape.3Ds"), mainChunk(triangle())));
  VxmModel* m = vxmModelLoad("shape.3Ds");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 3);
  EXPECT_EQ(m->triCount, 2);
  EXPECT_STREQ(m->fileName, "Untitled.vxm");
  vxmModelFree(m);
}

}  // namespace
