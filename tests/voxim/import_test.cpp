// import_test.cpp: the STL and OBJ readers and the rules all import readers share: welding, the
// axis mappings with the winding that keeps outsides in front, double-siding, the facet limit at
// and one past it, refusals with their reason, files beside the model only, failed allocations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ChunkBytes.h"
#include "ImportInternal.h"
#include "ModelTestSupport.h"
#include "vxmImport.h"
#include "vxmModel.h"

namespace {

struct P {
  float x, y, z;
};

// A binary STL file: an 80-byte header, the count, then per triangle a zero normal, its corners
// and an attribute word.
std::string binaryStl(const std::vector<std::vector<P>>& triangles, const std::string& header = "binary") {
  std::string bytes = header + std::string(80 - header.size(), '\0') + u32(uint32_t(triangles.size()));
  for (const auto& t : triangles) {
    bytes += f32(0) + f32(0) + f32(0);
    for (const P& p : t) bytes += f32(p.x) + f32(p.y) + f32(p.z);
    bytes += u16(0);
  }
  return bytes;
}

class Import : public ModelFolderTest {
 protected:
  VxmModel* load(const std::string& name, const std::string& bytes) {
    write(name, bytes);
    return vxmModelLoad(name.c_str());
  }
  // The file is refused: no model, the reason holds `words`, the trace line says the same, and
  // nothing the reader allocated is left.
  void expectRefused(const std::string& name, const std::string& bytes, const std::string& words) {
    trace.clear();
    VxmModel* model = load(name, bytes);
    EXPECT_EQ(model, nullptr) << words;
    vxmModelFree(model);
    EXPECT_NE(std::string(vxmImportReason()).find(words), std::string::npos) << vxmImportReason();
    EXPECT_TRUE(trace.has(vxmImportReason())) << words;
    expectNoLeak();
  }
  static void expectVertex(const VxmModel* m, int i, float x, float y, float z) {
    EXPECT_EQ(m->vertices[i].x, x) << i;
    EXPECT_EQ(m->vertices[i].y, y) << i;
    EXPECT_EQ(m->vertices[i].z, z) << i;
  }
  static void expectTri(const VxmModel* m, int i, int a, int b, int c, uint32_t colour) {
    EXPECT_EQ(m->tris[i].v[0], a) << i;
    EXPECT_EQ(m->tris[i].v[1], b) << i;
    EXPECT_EQ(m->tris[i].v[2], c) << i;
    EXPECT_EQ(m->tris[i].colour, colour) << i;
  }
};

// --- STL ---------------------------------------------------------------------------------------------

TEST_F(Import, BinaryStlWeldsMapsZUpAndKeepsTheFrontTowardsTheViewer) {
  // The first triangle faces -y, the front of a Z-up model; the second shares an edge, one
  // corner written as -0.
  VxmModel* m = load("part.stl", binaryStl({{{0, 0, 0}, {1, 0, 0}, {0, 0, 2}}, {{1, -0.0f, 0}, {3, 5, 7}, {0, 0, 2}}},
                                           "solid but binary"));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->vertexCount, 4);
  expectVertex(m, 0, 0, 0, 0);
  expectVertex(m, 1, 1, 0, 0);
  expectVertex(m, 2, 0, 2, 0);
  expectVertex(m, 3, 3, 7, 5);
  ASSERT_EQ(m->triCount, 4);
  expectTri(m, 0, 0, 2, 1, VXM_DEFAULT_COLOUR);
  expectTri(m, 1, 2, 0, 1, VXM_DEFAULT_COLOUR);
  expectTri(m, 2, 1, 2, 3, VXM_DEFAULT_COLOUR);
  expectTri(m, 3, 2, 1, 3, VXM_DEFAULT_COLOUR);
  // Normal towards -z: seen by the viewer of the first view; its twin away from it.
  EXPECT_FLOAT_EQ(m->tris[0].normal.z, -1.0f);
  EXPECT_FLOAT_EQ(m->tris[1].normal.z, 1.0f);
  EXPECT_STREQ(m->fileName, "Untitled.vxm");
  EXPECT_EQ(m->textureCount, 0);
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(Import, AsciiStlSolidsCrLfPolygonsCapitalsAndNumbersInEveryForm) {
  const std::string text =
      "solid first one\r\n facet normal 0 -1 0\r\n  outer loop\r\n   vertex 0 0 0\r\n   vertex 1e0 0 0\r\n"
      "   vertex 0 0 +2.0\r\n  endloop\r\n endfacet\r\nendsolid first one\r\n"
      "SOLID\n FACET NORMAL 0 0 0\n OUTER LOOP\n VERTEX 0 0 0\n Vertex 1 0 0\n vertex 1 0 1\n vertex 0 0 1\n"
      " ENDLOOP\n endfacet\nendsolid";
  VxmModel* m = load("two.STL", text);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->vertexCount, 5);  // (0,0,0) and (1,0,0) welded across the solids
  ASSERT_EQ(m->triCount, 6);
  expectTri(m, 2, 0, 3, 1, VXM_DEFAULT_COLOUR);  // the quad fanned: (0,1,3) and (0,3,4)
  expectTri(m, 4, 0, 4, 3, VXM_DEFAULT_COLOUR);
  expectVertex(m, 3, 1, 1, 0);
  vxmModelFree(m);
}

TEST_F(Import, StlRefusals) {
  const std::string good = binaryStl({{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}});
  std::string countOverflow = good.substr(0, 80) + u32(0x80000000u);  // 84 + 50 n wraps to 84 in 32 bits
  std::string infinite = binaryStl({{{0, 0, 0}, {INFINITY, 0, 0}, {0, 0, 1}}});
  struct Row {
    std::string bytes, words;
  } rows[] = {
      {good + "x", "it has 135 bytes, where a binary file of 1 triangles has 134"},
      {good.substr(0, good.size() - 1), "it has 133 bytes"},
      {countOverflow, "where a binary file of 2147483648 triangles has 107374182484"},
      {binaryStl({}), "The file holds no triangles."},
      {infinite, "Triangle 1 has a corner that is not a finite number."},
      {"solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\n", "Line 6: a facet has 2 corners."},
      {"solid s\nouter loop\nvertex 0 0 x\n", "Line 3: a number was expected."},
      {"solid s\nouter loop\nvertex 0 0 inf\nvertex 1 0 0\nvertex 0 1 0\nendloop", "Line 3: a corner that is not a finite"},
      {"solid s\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n", "Line 5: \"vertex\" or \"endloop\" was expected."},
      {"solid s\nfacet 0 0 1\n", "Line 2: \"normal\" was expected."},
      {"solid s\nouter space\n", "Line 2: \"loop\" was expected."},
      {"solid s\nwobble 1\n", "Line 2: \"wobble\" is not an STL keyword."},
      {std::string("solid s\n\0\n", 10), "neither a binary STL file nor text"},
  };
  for (const Row& row : rows) expectRefused("bad.stl", row.bytes, row.words);
}

// Triangles over few positions, some written as the reverse or a rotation of an earlier one, some
// with a repeated corner, zeros of both signs: welding and twins both have work.
std::vector<std::vector<P>> tangledTriangles(int count, unsigned seed) {
  std::vector<P> points;
  for (int i = 0; i < 40; ++i) points.push_back({(float)(i % 5), i % 3 == 0 ? -0.0f : (float)(i / 5), (float)(i * 0.25)});
  std::vector<std::vector<P>> triangles;
  unsigned state = seed;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % n;
  };
  for (int t = 0; t < count; ++t) {
    std::vector<P> tri = {points[next(40)], points[next(40)], points[next(40)]};
    if (t > 0 && next(4) == 0) tri = {triangles[t - 1][0], triangles[t - 1][2], triangles[t - 1][1]};
    if (t > 0 && next(6) == 0) tri = {triangles[t - 1][1], triangles[t - 1][2], triangles[t - 1][0]};
    triangles.push_back(tri);
  }
  return triangles;
}

std::string asciiStl(const std::vector<std::vector<P>>& triangles) {
  std::string text = "solid tangled\n";
  char line[128];
  for (const auto& t : triangles) {
    text += "facet normal 0 0 0\nouter loop\n";
    for (const P& p : t) {
      std::snprintf(line, sizeof line, "vertex %.9g %.9g %.9g\n", p.x, p.y, p.z);
      text += line;
    }
    text += "endloop\nendfacet\n";
  }
  return text + "endsolid tangled\n";
}

// What an import of these triangles must give: the corners welded in order of first meeting
// (-0 as 0), Z-up mapped, each facet stored as (a, c, b), then vxmModelMakeDoubleSided.
VxmModel* expectedImport(const std::vector<std::vector<P>>& triangles) {
  std::vector<VxmVector> vertices;
  std::vector<int32_t> corners;
  for (const auto& t : triangles)
    for (const P& p : t) {
      VxmVector v = {p.x == 0 ? 0.0f : p.x, p.z == 0 ? 0.0f : p.z, p.y == 0 ? 0.0f : p.y};
      size_t at = 0;
      while (at < vertices.size() && std::memcmp(&vertices[at], &v, sizeof v) != 0) ++at;
      if (at == vertices.size()) vertices.push_back(v);
      corners.push_back((int32_t)at);
    }
  VxmModel* model = vxmModelCreate((int32_t)vertices.size(), 0, (int32_t)triangles.size());
  std::memcpy(model->vertices, vertices.data(), vertices.size() * sizeof(VxmVector));
  for (size_t t = 0; t < triangles.size(); ++t) {
    model->tris[t].v[0] = corners[3 * t];
    model->tris[t].v[1] = corners[3 * t + 2];
    model->tris[t].v[2] = corners[3 * t + 1];
  }
  vxmModelMakeDoubleSided(model);
  return model;
}

// The same vertices and facets, every field of every facet, normals to the bit.
void expectSameModel(const VxmModel* a, const VxmModel* b, const std::string& what) {
  ASSERT_EQ(a->vertexCount, b->vertexCount) << what;
  EXPECT_EQ(std::memcmp(a->vertices, b->vertices, sizeof(VxmVector) * (size_t)a->vertexCount), 0) << what;
  ASSERT_EQ(a->triCount, b->triCount) << what;
  for (int32_t i = 0; i < a->triCount; ++i) {
    const VxmTri &x = a->tris[i], &y = b->tris[i];
    ASSERT_TRUE(std::memcmp(x.v, y.v, sizeof x.v) == 0 && std::memcmp(&x.normal, &y.normal, sizeof x.normal) == 0 &&
                std::memcmp(x.n, y.n, sizeof x.n) == 0 && x.colour == y.colour && x.texture == y.texture &&
                std::memcmp(x.uv, y.uv, sizeof x.uv) == 0)
        << what << " facet " << i;
  }
}

// More triangles than one run of the binary reader, which welds a run's corners together: the
// binary file, its text form (welded corner by corner) and the rule all give the same model.
TEST_F(Import, BinaryStlOverSeveralRunsIsTheRuleAndItsTextForm) {
  const auto triangles = tangledTriangles(9000, 5);
  VxmModel* binary = load("runs.stl", binaryStl(triangles));
  VxmModel* text = load("runs-text.stl", asciiStl(triangles));
  VxmModel* rule = expectedImport(triangles);
  ASSERT_NE(binary, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_LT(rule->triCount, 18000);  // some twins are in the file already
  EXPECT_GT(rule->triCount, 9000);
  expectSameModel(binary, rule, "binary");
  expectSameModel(text, rule, "text");
  vxmModelFree(binary);
  vxmModelFree(text);
  vxmModelFree(rule);
  expectNoLeak();
}

// A model large enough for its facet table to be made while the file is read and finished in two
// parts, one beside the caller: the same model as the rule gives. Every allocation failing in
// turn either refuses it for memory (the early table alone may fail unseen) or gives that model.
TEST_F(Import, ALargeBinaryStlIsFinishedInTwoPartsAsTheRuleSays) {
  const auto triangles = tangledTriangles(IMPORT_TASK_FACETS + 4321, 8);
  write("large.stl", binaryStl(triangles));
  VxmModel* rule = expectedImport(triangles);
  long before = vxmMemAllocations();
  VxmModel* large = vxmModelLoad("large.stl");
  long used = vxmMemAllocations() - before;
  ASSERT_NE(large, nullptr);
  expectSameModel(large, rule, "large");
  vxmModelFree(large);
  const long live = vxmMemLiveBlocks();  // the rule's
  for (long n = 0; n < used; ++n) {
    vxmMemFailAfter(n);
    VxmModel* m = vxmModelLoad("large.stl");
    vxmMemFailAfter(-1);
    if (m) {
      expectSameModel(m, rule, "failing allocation " + std::to_string(n));
      vxmModelFree(m);
    } else {
      EXPECT_STREQ(vxmImportReason(), "Out of Memory!") << n;
    }
    EXPECT_EQ(vxmMemLiveBlocks(), live) << n;
  }
  vxmModelFree(rule);
  expectNoLeak();
}

// Two-sided and one-sided facets mixed in a build large enough to be finished in two parts: the
// doubled facets of both parts in order, then the one-sided ones of both parts.
TEST_F(Import, ALargeMixedBuildIsFinishedInTwoParts) {
  const int32_t vertices = 50, count = IMPORT_TASK_FACETS + 999;
  ImportBuild build;
  importBegin(&build);
  ASSERT_TRUE(importReserveVertices(&build, vertices));
  for (int i = 0; i < vertices; ++i) {
    VxmVector v = {(float)(i % 7), (float)(i / 7), (float)(i * i % 11)};
    importAddVertex(&build, &v);
  }
  ASSERT_TRUE(importReserveTris(&build, count, false, false));
  std::vector<int32_t> twoSided, oneSided;  // stored corners, three each
  unsigned state = 9;
  auto next = [&state](unsigned n) {
    state = state * 1103515245u + 12345u;
    return (int32_t)((state >> 16) % n);
  };
  for (int32_t t = 0; t < count; ++t) {
    const int32_t a = next(vertices), b = next(vertices), c = next(vertices);
    const bool single = next(3) == 0;
    importAddTri(&build, a, b, c, single ? 0x00FF00 : 0xFF0000, single);
    std::vector<int32_t>& to = single ? oneSided : twoSided;
    to.insert(to.end(), {a, c, b});
  }
  VxmModel* m = importFinish(&build);
  ASSERT_NE(m, nullptr);
  // The rule: the two-sided facets doubled on their own, the one-sided ones after them.
  VxmModel* doubled = vxmModelCreate(vertices, 0, (int32_t)twoSided.size() / 3);
  std::memcpy(doubled->vertices, m->vertices, sizeof(VxmVector) * vertices);
  for (size_t i = 0; i < twoSided.size() / 3; ++i) {
    std::memcpy(doubled->tris[i].v, &twoSided[3 * i], sizeof doubled->tris[i].v);
    doubled->tris[i].colour = 0xFF0000;
  }
  vxmModelMakeDoubleSided(doubled);
  const int32_t total = doubled->triCount + (int32_t)oneSided.size() / 3;
  VxmModel* rule = vxmModelCreate(vertices, 0, total);
  std::memcpy(rule->vertices, m->vertices, sizeof(VxmVector) * vertices);
  std::memcpy(rule->tris, doubled->tris, sizeof(VxmTri) * (size_t)doubled->triCount);
  for (size_t i = 0; i < oneSided.size() / 3; ++i) {
    VxmTri* tri = &rule->tris[doubled->triCount + i];
    std::memcpy(tri->v, &oneSided[3 * i], sizeof tri->v);
    tri->colour = 0x00FF00;
  }
  vxmModelCalcSurfaceNormals(rule);
  expectSameModel(m, rule, "mixed");
  vxmModelFree(rule);
  vxmModelFree(doubled);
  vxmModelFree(m);
  importEnd(&build);
  expectNoLeak();
}

TEST_F(Import, BinaryStlNotFiniteInALaterRunNamesItsTriangle) {
  auto triangles = tangledTriangles(5000, 6);
  triangles[4499][2].y = NAN;
  expectRefused("late.stl", binaryStl(triangles), "Triangle 4500 has a corner that is not a finite number.");
  triangles[4499][2].y = 1;
  triangles[4095][0].x = -INFINITY;  // the last of the first run
  expectRefused("late.stl", binaryStl(triangles), "Triangle 4096 has a corner that is not a finite number.");
}

#if !defined(_WIN32)
// The import shows double-siding as the editor's model command does: its status text and the bar
// once for each percent.
TEST_F(Import, DoubleSidingShowsItsStatusAndTheBarOnceForEachPercent) {
  appSetStatusWindow((AppWindow)1);
  appSetProgressWindow((AppWindow)2);
  VxmModel* m = load("bar.stl", binaryStl(tangledTriangles(1000, 7)));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(appHostStatusCount(), 2);
  EXPECT_STREQ(appHostStatusAt(0), "Making all facets double-sided...");
  EXPECT_STREQ(appHostStatusAt(1), "");
  EXPECT_EQ(appHostProgressCount(), 101);
  EXPECT_EQ(appHostProgressAt(0), -1);
  EXPECT_EQ(appHostProgressAt(50), 50);
  EXPECT_EQ(appHostLastProgress(), -1);
  vxmModelFree(m);
  appSetStatusWindow(nullptr);
  appSetProgressWindow(nullptr);
  expectNoLeak();
}
#endif

// One-sided facets (a glTF material that is not double-sided) neither get twins nor count as one:
// the two-sided facets are doubled among themselves, then the one-sided follow in order.
TEST_F(Import, OneSidedFacetsFollowTheDoubledOnesAndAreNoTwins) {
  ImportBuild build;
  importBegin(&build);
  ASSERT_TRUE(importReserveVertices(&build, 5));
  for (int i = 0; i < 5; ++i) {
    VxmVector v = {(float)i, (float)(i * i), (float)(i % 2)};
    importAddVertex(&build, &v);
  }
  ASSERT_TRUE(importReserveTris(&build, 3, true, false));
  ASSERT_TRUE(importReserveTris(&build, 4, false, false));
  importAddTri(&build, 0, 1, 2, 0x111111, false);  // stored (0, 2, 1)
  importAddTri(&build, 0, 2, 1, 0x222222, true);   // stored (0, 1, 2): the reverse, but one-sided
  importAddTri(&build, 1, 3, 4, 0x333333, false);  // stored (1, 4, 3)
  importAddTri(&build, 3, 1, 4, 0x444444, false);  // stored (3, 4, 1): a rotation of (1, 4, 3)'s reverse
  importAddTri(&build, 2, 3, 4, 0x555555, true);
  importAddTri(&build, 3, 2, 0, 0x666666, false);  // stored (3, 0, 2)
  VxmModel* m = importFinish(&build);
  ASSERT_NE(m, nullptr);
  const int32_t expected[][4] = {{0, 2, 1, 0x111111}, {2, 0, 1, 0x111111}, {1, 4, 3, 0x333333}, {3, 4, 1, 0x444444},
                                 {3, 0, 2, 0x666666}, {0, 3, 2, 0x666666}, {0, 1, 2, 0x222222}, {2, 4, 3, 0x555555}};
  ASSERT_EQ(m->triCount, 8);
  for (int i = 0; i < 8; ++i) expectTri(m, i, expected[i][0], expected[i][1], expected[i][2], (uint32_t)expected[i][3]);
  // Normals as the model computes them, the one-sided ones too.
  VxmModel* copy = vxmModelCreate(m->vertexCount, 0, m->triCount);
  std::memcpy(copy->vertices, m->vertices, sizeof(VxmVector) * (size_t)m->vertexCount);
  for (int i = 0; i < 8; ++i) std::memcpy(copy->tris[i].v, m->tris[i].v, sizeof m->tris[i].v);
  vxmModelCalcSurfaceNormals(copy);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(std::memcmp(&copy->tris[i].normal, &m->tris[i].normal, sizeof(VxmVector)), 0) << i;
  vxmModelFree(copy);
  vxmModelFree(m);
  importEnd(&build);
  expectNoLeak();
}

// importNumber gives what strtod gives, the value to the bit and the same end, for the numbers
// it works out itself and for those it leaves to strtod.
TEST_F(Import, NumbersAreReadAsStrtodReadsThem) {
  std::vector<std::string> texts = {
      "0", "-0", "+0", "0.0", "-0.000", "1", "-1", "+1.5", "1.", ".5", "-.5", "00012", "0012.50", "1e5", "1E+05",
      "1e-5", "-2.5e-3", "1e22", "1e23", "1e-22", "1e-23", "123456789012345678", "1234567890123456789",
      "12345678901234567890", "9007199254740992", "9007199254740993", "0.1", "0.3", "3.14159265358979323846",
      "1e", "1e+", "1e-", "1ex", "1.5f", "2,5", "0x1p3", "-0X10", "0x", "inf", "-infinity", "nan", ".", "-", "+",
      "", " 1", "\t2", "e5", "1..2", "1.2.3", "0.000000000000000000000123", "123e-25", "5e-324", "1.7976931348623157e308",
      "1e400", "-1e-400", "0.30000000000000004", "4.35", "0.000001", "999999999999999999e3", "7e0", "7e-0",
      "1e99999999999", "0e99999"};
  unsigned state = 3;
  for (int i = 0; i < 20000; ++i) {  // decimals as exporters write them, and some as nobody would
    state = state * 1103515245u + 12345u;
    char text[64];
    const unsigned kind = state >> 28;
    const long long whole = (long long)(state >> 8) % 100000 - 50000;
    const unsigned fraction = (state * 2654435761u) % 1000000;
    if (kind < 8)
      std::snprintf(text, sizeof text, "%lld.%06u", whole, fraction);
    else if (kind < 12)
      std::snprintf(text, sizeof text, "%.9g", (double)whole / (fraction + 1));
    else
      std::snprintf(text, sizeof text, "%lld.%ue%d", whole, fraction, (int)(state % 60) - 30);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    char *ours = nullptr, *theirs = nullptr;
    const double a = importNumber(text.c_str(), &ours), b = std::strtod(text.c_str(), &theirs);
    EXPECT_EQ(ours - text.c_str(), theirs - text.c_str()) << text;
    if (std::isnan(b))
      EXPECT_TRUE(std::isnan(a)) << text;
    else
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << text << ": " << a << " and " << b;
  }
}

// --- The limit ----------------------------------------------------------------------------------------

TEST_F(Import, FacetLimitAtTheBoundaryAndOnePast) {
  struct Row {
    int64_t triangles;
    bool oneSided, taken;
  } rows[] = {{1000000, false, true}, {1000001, false, false}, {2000000, true, true}, {2000001, true, false},
              {INT64_MAX / 2, false, false}};
  for (const Row& row : rows) {
    ImportBuild build;
    importBegin(&build);
    trace.clear();
    EXPECT_EQ(importReserveTris(&build, row.triangles, row.oneSided, false), row.taken) << row.triangles;
    if (!row.taken) {
      EXPECT_NE(std::string(vxmImportReason()).find("a model may have at most 2000000."), std::string::npos);
      EXPECT_EQ(trace.lines.size(), 1u);
    }
    importEnd(&build);
  }
  EXPECT_STREQ(vxmImportReason(), "The file makes 9223372036854775807 facets once double-sided; a model may have at most 2000000.");
  ImportBuild build;
  importBegin(&build);
  EXPECT_TRUE(importReserveVertices(&build, 3000000));
  EXPECT_FALSE(importReserveVertices(&build, 3000001));
  EXPECT_STREQ(vxmImportReason(), "The file makes 3000001 vertices; a model may have at most 3000000.");
  importEnd(&build);
  expectNoLeak();
}

TEST_F(Import, BinaryStlOverTheLimitIsRefusedBeforeItsTrianglesAreRead) {
  // The count is checked against the limit before any table is made: a file of the right size
  // for 1000001 triangles, all zero bytes.
  std::string bytes = std::string(80, '\0') + u32(1000001) + std::string(50 * 1000001, '\0');
  long before = vxmMemAllocations();
  expectRefused("big.stl", bytes, "The file makes 2000002 facets once double-sided; a model may have at most 2000000.");
  EXPECT_EQ(vxmMemAllocations() - before, 0);  // not even a run of the file's bytes
}

// --- OBJ ---------------------------------------------------------------------------------------------

TEST_F(Import, ObjEveryCornerFormNegativeIndicesPolygonsGroupsAndMaterials) {
  write("look.mtl",
        "# materials\r\nnewmtl red paint\r\nKd 1 0 0\r\nnewmtl half\r\nKa 1 1 1\r\nKd 0.5 0.25 0.1\r\n"
        "newmtl red paint\r\nKd 0 0 1\r\n");
  const std::string obj =
      "# a model\r\nmtllib look.mtl\r\no first\r\nv 1 2 3\r\nv 4 2 3 1.0\r\nv 1 6 3\r\nv 10 11 12\r\n"
      "vt 0 0\r\nvt 1 0\r\nvn 0 0 1\r\ng part\r\ns 1\r\nf 1 2 3\r\nusemtl   red paint  \r\nf 1/1 2/2 4/1\r\n"
      "usemtl half\r\nf 2//1 3//1 4//1\r\nusemtl nobody\r\nf -4/-2/-1 -3/-1/1 -2/1/-1 -1/2/1\r\n"
      "curv 0 1 1 2\r\nl 1 2\r\nusemtl half\r\nf 4 1 2 # last\r\n";
  VxmModel* m = load("thing.obj", obj);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->vertexCount, 4);
  expectVertex(m, 0, 1, 2, -3);
  expectVertex(m, 3, 10, 11, -12);
  const uint32_t half = 0x80401A;  // 0.5, 0.25, 0.1 of 255, rounded
  const int expected[][4] = {{0, 2, 1, 0x7F7F7F}, {0, 3, 1, 0xFF0000}, {1, 3, 2, (int)half},
                             {0, 2, 1, 0x7F7F7F}, {0, 3, 2, 0x7F7F7F}, {3, 1, 0, (int)half}};
  ASSERT_EQ(m->triCount, 12);
  for (int i = 0; i < 6; ++i) {
    expectTri(m, 2 * i, expected[i][0], expected[i][1], expected[i][2], (uint32_t)expected[i][3]);
    expectTri(m, 2 * i + 1, expected[i][1], expected[i][0], expected[i][2], (uint32_t)expected[i][3]);
  }
  // The first face is counter-clockwise seen from +z, the front of a Y-up model: it faces the viewer.
  EXPECT_LT(m->tris[0].normal.z, 0.0f);
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(Import, ObjRefusalsNameTheLineAndTheIndex) {
  const std::string head = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n";
  struct Row {
    std::string body, words;
  } rows[] = {
      {"f 1 2 0", "Line 6: vertex index 0 is out of range; the file has 3 so far."},
      {"f 1 2 4", "Line 6: vertex index 4 is out of range"},
      {"f 1 2 -4", "Line 6: vertex index -4 is out of range"},
      {"f 1 2 99999999999999999999", "vertex index 99999999999999999999 is out"},
      {"f 1/2 2/1 3/1", "Line 6: texture coordinate index 2 is out of range; the file has 1 so far."},
      {"f 1//1 2//2 3//1", "Line 6: normal index 2 is out of range"},
      {"f 1 2", "Line 6: a face has 2 corners."},
      {"f 1 2 3x", "Line 6: a face corner is not"},
      {"f 1 2 /3", "Line 6: a face corner needs a vertex index."},
      {"v 1 2", "Line 6: a vertex needs three numbers."},
      {"v 1 2 1e999", "Line 6: a vertex that is not a finite number."},
      {"mtllib ../look.mtl", "The model names a file outside its folder: ../look.mtl"},
      {"mtllib sub/../../look.mtl", "outside its folder"},
      {"mtllib /etc/look.mtl", "outside its folder"},
      {"mtllib C:look.mtl", "outside its folder"},
      {"p 1 2\nl 1 2 3", "The file holds no triangles."},
  };
  for (const Row& row : rows) expectRefused("bad.obj", head + row.body + "\n", row.words);
}

TEST_F(Import, ObjMaterialFileMissingLeavesTheDefaultColourAndOneInASubfolderIsRead) {
  VxmModel* m = load("a.obj", "mtllib none.mtl\nusemtl x\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->tris[0].colour, VXM_DEFAULT_COLOUR);
  vxmModelFree(m);
  std::filesystem::create_directory(path("sub"));
  write(testJoin("sub", "m.mtl"), "newmtl x\nKd 0 1 0.2\n");
  m = load("b.obj", "mtllib ./sub/m.mtl\nusemtl x\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->tris[0].colour, 0x00FF33u);
  vxmModelFree(m);
}

// --- Shared -------------------------------------------------------------------------------------------

TEST_F(Import, BesidePathsKeepToTheModelsFolder) {
  char result[APP_PATH_LENGTH];
  ASSERT_TRUE(importBesidePath("C:\\Models\\ship.gltf", "parts/hull%.bin", result));
  EXPECT_STREQ(result, "C:\\Models\\parts\\hull%.bin");
  ASSERT_TRUE(importBesidePath("ship.gltf", "..hull.bin", result));
  EXPECT_STREQ(result, "..hull.bin");
  for (const char* name : {"..", "../a", "a/..", "a\\..\\..\\b", "/a", "\\a", "C:a", ""}) {
    EXPECT_FALSE(importBesidePath("C:\\Models\\ship.gltf", name, result)) << name;
  }
  // Joined paths fit a path buffer: 259 characters with the terminator, and not one more.
  std::string folder = "C:\\" + std::string(200, 'f') + "\\";
  std::string name(APP_PATH_LENGTH - 1 - folder.size(), 'n');
  EXPECT_TRUE(importBesidePath((folder + "m.obj").c_str(), name.c_str(), result));
  EXPECT_EQ(std::strlen(result), (size_t)APP_PATH_LENGTH - 1);
  EXPECT_FALSE(importBesidePath((folder + "m.obj").c_str(), (name + "n").c_str(), result));
}

TEST_F(Import, LinearColoursBecomeSrgb) {
  EXPECT_EQ(importColour(importLinearToSrgb(0.5), importLinearToSrgb(0.25), importLinearToSrgb(1.0)), 0xBC89FFu);
  EXPECT_EQ(importColour(importLinearToSrgb(0.002), importLinearToSrgb(-1), importLinearToSrgb(NAN)), 0x070000u);
  EXPECT_EQ(importColour(1.5, 0.5 / 255, 0.499 / 255), 0xFF0100u);
}

TEST_F(Import, ReasonIsClearedByTheNextLoad) {
  expectRefused("bad.obj", "f 1 2 3\n", "vertex index 1 is out of range");
  vxmModelFree(vxmModelLoad("missing.vxm"));
  EXPECT_STREQ(vxmImportReason(), "");
  expectRefused("empty.stl", std::string(), "it has 0 bytes, where a binary file of 0 triangles has 84.");
  EXPECT_EQ(vxmModelLoad("nowhere.stl"), nullptr);
  EXPECT_STREQ(vxmImportReason(), "Failed to validate file: nowhere.stl");
}

TEST_F(Import, EveryFailedAllocationFailsCleanly) {
  write("look.mtl", "newmtl a\nKd 1 1 1\n");
  write("m.obj", "mtllib look.mtl\nusemtl a\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  write("m.stl", binaryStl({{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}}));
  for (const char* name : {"m.obj", "m.stl"}) {
    long before = vxmMemAllocations();
    VxmModel* good = vxmModelLoad(name);
    ASSERT_NE(good, nullptr);
    vxmModelFree(good);
    long used = vxmMemAllocations() - before;
    for (long n = 0; n < used; ++n) {
      trace.clear();
      vxmMemFailAfter(n);
      VxmModel* m = vxmModelLoad(name);
      vxmMemFailAfter(-1);
      if (m) {
        EXPECT_EQ(m->triCount, 2) << name << n;
        vxmModelFree(m);
      } else {
        EXPECT_STREQ(vxmImportReason(), "Out of Memory!") << name << n;
      }
      expectNoLeak();
    }
  }
}

}  // namespace
