// model_test.cpp: the in-memory model: creation and its failures, extents, centre and radius,
// facet and averaged normals, the lathe, double-siding and the texture table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "vxmModel.h"

namespace {

struct Face {
  int a, b, c;
};

// A model with these vertices and facets (grey, untextured, no vertex normals).
VxmModel* makeModel(const std::vector<VxmVector>& vertices, const std::vector<Face>& faces) {
  VxmModel* model = vxmModelCreate((int32_t)vertices.size(), 0, (int32_t)faces.size());
  if (!model) return nullptr;
  for (size_t i = 0; i < vertices.size(); ++i) model->vertices[i] = vertices[i];
  for (size_t i = 0; i < faces.size(); ++i) {
    model->tris[i].v[0] = faces[i].a;
    model->tris[i].v[1] = faces[i].b;
    model->tris[i].v[2] = faces[i].c;
  }
  return model;
}

std::vector<Face> facesOf(const VxmModel* model) {
  std::vector<Face> out;
  for (int32_t i = 0; i < model->triCount; ++i)
    out.push_back({model->tris[i].v[0], model->tris[i].v[1], model->tris[i].v[2]});
  return out;
}

bool operator==(const Face& x, const Face& y) { return x.a == y.a && x.b == y.b && x.c == y.c; }

void PrintTo(const Face& f, std::ostream* os) { *os << "(" << f.a << "," << f.b << "," << f.c << ")"; }

void expectVector(const VxmVector& v, float x, float y, float z, float tolerance = 0.0f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

const std::vector<VxmVector> kSquare = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

// The double-siding rule as stated, searching the whole original table per facet: the
// reference the hashed version must match facet for facet.
std::vector<Face> doubleSidedReference(const std::vector<Face>& faces) {
  std::vector<Face> out;
  for (const Face& f : faces) {
    out.push_back(f);
    bool twin = false;
    for (const Face& g : faces) {
      if ((g.a == f.a && g.b == f.c && g.c == f.b) || (g.a == f.b && g.b == f.a && g.c == f.c) ||
          (g.a == f.c && g.b == f.b && g.c == f.a)) {
        twin = true;
        break;
      }
    }
    if (!twin) out.push_back({f.b, f.a, f.c});
  }
  return out;
}

class VxmModelTest : public ModelFolderTest {};

}  // namespace

// --- Creation ------------------------------------------------------------------------------------

TEST_F(VxmModelTest, CreateSetsTheDefaults) {
  VxmModel* model = vxmModelCreate(4, 0, 2);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->vertexCount, 4);
  EXPECT_EQ(model->triCount, 2);
  EXPECT_EQ(model->vertexNormalCount, 0);
  EXPECT_EQ(model->vertexNormals, nullptr);
  EXPECT_EQ(model->textureCount, 0);
  EXPECT_STREQ(model->fileName, "");
  EXPECT_FALSE(model->highlight);
  EXPECT_EQ(model->highlightValue, 90);
  EXPECT_FALSE(model->averageNormals);
  const float id[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(model->matrix.m, id, sizeof id), 0);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(model->tris[i].colour, 0x7F7F7Fu);
    EXPECT_EQ(model->tris[i].texture, nullptr);
    EXPECT_EQ(model->tris[i].n[0], -1);
    EXPECT_EQ(model->tris[i].n[1], -1);
    EXPECT_EQ(model->tris[i].n[2], -1);
  }
  VxmModel* withNormals = vxmModelCreate(3, 3, 1);
  ASSERT_NE(withNormals, nullptr);
  EXPECT_EQ(withNormals->vertexNormalCount, 3);
  EXPECT_NE(withNormals->vertexNormals, nullptr);
  vxmModelFree(withNormals);
  vxmModelFree(model);
  vxmModelFree(nullptr);
  EXPECT_TRUE(trace.lines.empty());
  expectNoLeak();
}

TEST_F(VxmModelTest, CreateRejectsBadCounts) {
  const int counts[][3] = {{0, 0, 1}, {1, -1, 1}, {1, 0, 0}, {-5, 0, 1}, {1, 0, -1}};
  for (const auto& c : counts) {
    trace.clear();
    EXPECT_EQ(vxmModelCreate(c[0], c[1], c[2]), nullptr);
    EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"}) << c[0] << " " << c[1] << " " << c[2];
  }
  EXPECT_EQ(trace.lines[0].rfind("voxim/Model.cpp(", 0), 0u);
  expectNoLeak();
}

// Each allocation of the creation in turn fails: the record, the vertices, the facets, the normals.
TEST_F(VxmModelTest, CreateReportsEachFailedAllocation) {
  const long used = testEachAllocationFails(&trace, [] {
    VxmModel* model = vxmModelCreate(10, 10, 5);
    vxmModelFree(model);
    return model != nullptr;
  });
  EXPECT_EQ(used, 4);
  // Sizes beyond 32 bits are refused like a failed allocation.
  EXPECT_EQ(vxmModelCreate(0x7FFFFFFF, 0, 1), nullptr);
  EXPECT_TRUE(trace.has("Out of Memory!"));
  expectNoLeak();
}

TEST_F(VxmModelTest, InitReallocatesTheTablesAndResetsTheDefaults) {
  VxmModel* model = vxmModelCreate(3, 0, 1);
  ASSERT_NE(model, nullptr);
  model->highlight = true;
  model->highlightValue = 5;
  model->averageNormals = true;
  model->matrix.m[9] = 7;
  write("t.bmp", testBmp24(2, 2, 0x112233));
  ASSERT_TRUE(vxmModelAddTexture(model, "t.bmp"));
  EXPECT_TRUE(vxmModelInit(model, 5, 5, 2));
  EXPECT_EQ(model->vertexCount, 5);
  EXPECT_EQ(model->vertexNormalCount, 5);
  EXPECT_EQ(model->triCount, 2);
  EXPECT_EQ(model->textureCount, 0);  // and the slot's bitmap released
  EXPECT_FALSE(model->highlight);
  EXPECT_EQ(model->highlightValue, 90);
  EXPECT_FALSE(model->averageNormals);
  EXPECT_EQ(model->matrix.m[9], 0.0f);
  EXPECT_EQ(model->tris[1].colour, 0x7F7F7Fu);
  // A failed allocation leaves the model without tables.
  vxmMemFailAfter(1);
  EXPECT_FALSE(vxmModelInit(model, 4, 0, 4));
  vxmMemFailAfter(-1);
  EXPECT_EQ(model->vertices, nullptr);
  EXPECT_EQ(model->tris, nullptr);
  EXPECT_EQ(model->vertexCount, 0);
  EXPECT_EQ(trace.messages().back(), "Out of Memory!");
  trace.clear();
  EXPECT_FALSE(vxmModelInit(nullptr, 1, 0, 1));
  EXPECT_FALSE(vxmModelInit(model, 0, 0, 1));
  EXPECT_FALSE(vxmModelInit(model, 1, -1, 1));
  EXPECT_FALSE(vxmModelInit(model, 1, 0, 0));
  EXPECT_EQ(trace.messages(), std::vector<std::string>(4, "Invalid Parameters"));
  vxmModelFree(model);
  expectNoLeak();
}

// --- Extents, centre, radius -------------------------------------------------------------------

TEST_F(VxmModelTest, ExtentsCentreAndRadius) {
  VxmModel* model = makeModel({{1, 5, 0}, {3, 2, 0}, {2, 9, 0}}, {{0, 1, 2}});
  ASSERT_NE(model, nullptr);
  VxmVector lo, hi, centre;
  ASSERT_TRUE(vxmModelGetExtents(model, &lo, &hi));
  expectVector(lo, 1, 2, 0);
  expectVector(hi, 3, 9, 0);
  ASSERT_TRUE(vxmModelGetCentre(model, &centre));
  expectVector(centre, 2, 5.5f, 0);
  float radius = -1;
  const VxmVector origin = {0, 0, 0};
  ASSERT_TRUE(vxmModelGetRadius(model, &origin, &radius));
  EXPECT_FLOAT_EQ(radius, std::sqrt(85.0f));
  const VxmVector p = {2, 5, 0};
  ASSERT_TRUE(vxmModelGetRadius(model, &p, &radius));
  EXPECT_FLOAT_EQ(radius, 4.0f);
  // A vertex that is smaller than the first in one axis and greater in another.
  VxmModel* mixed = makeModel({{0, 0, 0}, {-1, 4, 2}, {3, -2, -5}}, {{0, 1, 2}});
  ASSERT_TRUE(vxmModelGetExtents(mixed, &lo, &hi));
  expectVector(lo, -1, -2, -5);
  expectVector(hi, 3, 4, 2);
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(mixed);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmModelTest, MeasuresReportBadArguments) {
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}});
  VxmVector v;
  float r;
  EXPECT_FALSE(vxmModelGetExtents(nullptr, &v, &v));
  EXPECT_FALSE(vxmModelGetExtents(model, nullptr, &v));
  EXPECT_FALSE(vxmModelGetExtents(model, &v, nullptr));
  EXPECT_FALSE(vxmModelGetCentre(nullptr, &v));
  EXPECT_FALSE(vxmModelGetCentre(model, nullptr));
  EXPECT_FALSE(vxmModelGetRadius(nullptr, &v, &r));
  EXPECT_FALSE(vxmModelGetRadius(model, nullptr, &r));
  EXPECT_FALSE(vxmModelGetRadius(model, &v, nullptr));
  EXPECT_EQ(trace.messages(), std::vector<std::string>(8, "Invalid Parameters"));
  // No vertices: the extents fail silently, the centre says why, the radius is 0.
  trace.clear();
  int32_t keep = model->vertexCount;
  model->vertexCount = 0;
  EXPECT_FALSE(vxmModelGetExtents(model, &v, &v));
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_FALSE(vxmModelGetCentre(model, &v));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to get model extents"});
  r = 5;
  EXPECT_TRUE(vxmModelGetRadius(model, &v, &r));
  EXPECT_EQ(r, 0.0f);
  model->vertexCount = keep;
  vxmModelFree(model);
  expectNoLeak();
}

// --- Normals -----------------------------------------------------------------------------------

TEST_F(VxmModelTest, SurfaceNormalsAreUnitAndFollowTheWinding) {
  VxmModel* model = makeModel({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 0, 3}, {5, 5, 5}},
                              {{0, 1, 2}, {0, 2, 1}, {0, 1, 3}, {0, 1, 1}, {2, 2, 0}, {0, 1, 7}, {-1, 0, 1}});
  ASSERT_TRUE(vxmModelCalcSurfaceNormals(model));
  expectVector(model->tris[0].normal, 0, 0, 1);
  expectVector(model->tris[1].normal, 0, 0, -1);
  expectVector(model->tris[2].normal, 0, -1, 0);
  expectVector(model->tris[3].normal, 0, 0, 0);  // degenerate: zero
  expectVector(model->tris[4].normal, 0, 0, 0);
  expectVector(model->tris[5].normal, 0, 0, 0);  // a vertex beyond the table is never read
  expectVector(model->tris[6].normal, 0, 0, 0);
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_FALSE(vxmModelCalcSurfaceNormals(nullptr));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"});
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmModelTest, AverageNormalsSumUnitFacetNormals) {
  // Two facets of a roof over the edge 0-1, one degenerate facet, vertex 5 unused.
  VxmModel* model = makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 1}, {1, -1, 1}, {9, 9, 9}, {4, 4, 4}},
                              {{0, 1, 2}, {1, 0, 3}, {4, 4, 0}});
  ASSERT_TRUE(vxmModelCalcSurfaceNormals(model));
  ASSERT_TRUE(vxmModelCalcAverageNormals(model));
  EXPECT_TRUE(model->averageNormals);
  EXPECT_EQ(model->vertexNormalCount, 6);
  // Facet 0 normal (0,-1,1)/sqrt2, facet 1 (0,1,1)/sqrt2: the shared vertices point up Z.
  expectVector(model->vertexNormals[0], 0, 0, 1, 1e-6f);
  expectVector(model->vertexNormals[1], 0, 0, 1, 1e-6f);
  expectVector(model->vertexNormals[2], 0, -0.70710677f, 0.70710677f, 1e-6f);
  expectVector(model->vertexNormals[4], 0, 0, 0);  // only the degenerate facet touches it
  expectVector(model->vertexNormals[5], 0, 0, 0);  // unused
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(model->tris[i].n[k], model->tris[i].v[k]);
  vxmModelFree(model);

  // A facet and its reversed twin cancel at their shared vertices.
  VxmModel* twins = makeModel(kSquare, {{0, 1, 2}, {1, 0, 2}});
  vxmModelCalcSurfaceNormals(twins);
  ASSERT_TRUE(vxmModelCalcAverageNormals(twins));
  for (int i = 0; i < 3; ++i) expectVector(twins->vertexNormals[i], 0, 0, 0);
  vxmModelFree(twins);
  EXPECT_TRUE(trace.lines.empty());
  expectNoLeak();
}

TEST_F(VxmModelTest, AFacetIsValidWhenEveryCornerIndexesTheVertexTable) {
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}});
  const struct {
    int32_t a, b, c;
    bool valid;
  } cases[] = {{0, 1, 3, true}, {0, 4, 2, false}, {-1, 1, 2, false}, {0, 1, INT32_MIN, false}};
  for (const auto& c : cases) {
    VxmTri tri = model->tris[0];
    tri.v[0] = c.a;
    tri.v[1] = c.b;
    tri.v[2] = c.c;
    EXPECT_EQ(vxmModelTriCornersValid(model, &tri), c.valid) << c.a << " " << c.b << " " << c.c;
  }
  vxmModelFree(model);
}

TEST_F(VxmModelTest, AverageNormalsFailures) {
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}, {0, 2, 4}});
  vxmModelCalcSurfaceNormals(model);
  EXPECT_FALSE(vxmModelCalcAverageNormals(model));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid vertex index"});
  EXPECT_FALSE(model->averageNormals);
  model->tris[1].v[2] = 3;
  ASSERT_TRUE(vxmModelCalcAverageNormals(model));
  // Out of memory: the model is left without vertex normals and no facet names one.
  trace.clear();
  vxmMemFailAfter(0);
  EXPECT_FALSE(vxmModelCalcAverageNormals(model));
  vxmMemFailAfter(-1);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Out of Memory!"});
  EXPECT_EQ(model->vertexNormals, nullptr);
  EXPECT_EQ(model->vertexNormalCount, 0);
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(model->tris[i].n[k], -1);
#if !defined(_WIN32)
  ASSERT_NE(appHostLastBox(), nullptr);
  EXPECT_STREQ(appHostLastBox()->text, "Out of Memory!");
#endif
  trace.clear();
  EXPECT_FALSE(vxmModelCalcAverageNormals(nullptr));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"});
  vxmModelFree(model);
  expectNoLeak();
}

// --- Lathe -------------------------------------------------------------------------------------

TEST_F(VxmModelTest, LatheBuildsRingsAndTheClosingBand) {
  const VxmVector profile[3] = {{1, 0, 0}, {2, 1, 0}, {1, 2, 0}};
  const VxmVector normals[3] = {{1, 0, 0}, {0, 1, 0}, {0.6f, 0.8f, 0}};
  VxmModel* model = vxmModelCreateLathe(profile, 3, normals, 4);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->vertexCount, 12);
  EXPECT_EQ(model->vertexNormalCount, 12);
  EXPECT_EQ(model->triCount, 16);
  // Ring r is the profile turned about Y by r quarter turns: x' = x cos a + z sin a, z' = -x sin a.
  expectVector(model->vertices[0], 1, 0, 0);
  expectVector(model->vertices[1], 2, 1, 0);
  expectVector(model->vertices[3], 0, 0, -1, 1e-6f);
  expectVector(model->vertices[4], 0, 1, -2, 1e-6f);
  expectVector(model->vertices[7], -2, 1, 0, 1e-6f);
  expectVector(model->vertices[6], -1, 0, 0, 1e-6f);
  expectVector(model->vertices[11], 0, 2, 1, 1e-6f);
  expectVector(model->vertexNormals[5], 0, 0.8f, -0.6f, 1e-6f);
  const std::vector<Face> expected = {
      {0, 3, 1}, {1, 3, 4}, {1, 4, 2}, {2, 4, 5},        // ring 0 to 1
      {3, 6, 4}, {4, 6, 7}, {4, 7, 5}, {5, 7, 8},        // ring 1 to 2
      {6, 9, 7}, {7, 9, 10}, {7, 10, 8}, {8, 10, 11},    // ring 2 to 3
      {9, 0, 10}, {10, 0, 1}, {10, 1, 11}, {11, 1, 2}};  // ring 3 back to ring 0
  EXPECT_EQ(facesOf(model), expected);
  for (int i = 0; i < 16; ++i) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(model->tris[i].n[k], model->tris[i].v[k]);
    float length = std::sqrt(model->tris[i].normal.x * model->tris[i].normal.x +
                             model->tris[i].normal.y * model->tris[i].normal.y +
                             model->tris[i].normal.z * model->tris[i].normal.z);
    EXPECT_NEAR(length, 1.0f, 1e-6f) << i;  // surface normals computed
  }
  // Facet 0 (0, 3, 1) on the cone's outer surface faces out and down: (1, -1, -1) / sqrt 3.
  expectVector(model->tris[0].normal, 0.57735026f, -0.57735026f, -0.57735026f, 1e-6f);
  vxmModelFree(model);
  EXPECT_TRUE(trace.lines.empty());
  expectNoLeak();
}

TEST_F(VxmModelTest, LatheWithoutNormalsAndItsFailures) {
  const VxmVector profile[2] = {{1, 0, 0}, {1, 1, 0}};
  VxmModel* model = vxmModelCreateLathe(profile, 2, nullptr, 1);
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->triCount, 2);  // one ring: the closing band joins it to itself
  EXPECT_EQ(facesOf(model), (std::vector<Face>{{0, 0, 1}, {1, 0, 1}}));
  vxmModelFree(model);

  EXPECT_EQ(vxmModelCreateLathe(nullptr, 3, nullptr, 4), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invalid Parameters"});
  const int bad[][2] = {{1, 4}, {0, 4}, {3, 0}, {-2, -3}, {3, -1}, {70000, 70000}};
  for (const auto& b : bad) {
    trace.clear();
    EXPECT_EQ(vxmModelCreateLathe(profile, b[0], nullptr, b[1]), nullptr);
    EXPECT_EQ(trace.messages(), (std::vector<std::string>{"Invalid Parameters", "Failed to create model"}))
        << b[0] << " " << b[1];
  }
  testEachAllocationFails(&trace, [&profile] {
    VxmModel* lathe = vxmModelCreateLathe(profile, 2, nullptr, 6);
    vxmModelFree(lathe);
    return lathe != nullptr;
  });
  expectNoLeak();
}

// The sphere of the editor's lighting window: a half circle of 21 points, 40 segments.
TEST_F(VxmModelTest, LatheSphereIsClosedAndFacesOutward) {
  std::vector<VxmVector> half;
  for (int i = 0; i <= 20; ++i) {
    double a = -1.5707963267948966 + i * 3.141592653589793 / 20;
    half.push_back({(float)vxmMathCos(a), (float)vxmMathSin(a), 0.0f});
  }
  VxmModel* sphere = vxmModelCreateLathe(half.data(), 21, nullptr, 40);
  ASSERT_NE(sphere, nullptr);
  EXPECT_EQ(sphere->vertexCount, 840);
  EXPECT_EQ(sphere->triCount, 1600);
  ASSERT_TRUE(vxmModelCalcAverageNormals(sphere));
  int outward = 0;
  for (int32_t i = 0; i < sphere->triCount; ++i) {
    const VxmTri& t = sphere->tris[i];
    const VxmVector& p = sphere->vertices[t.v[0]];
    if (vxmVecDot(&t.normal, &p) > 0) ++outward;
  }
  // Facets touching the poles are degenerate; every other facet points away from the centre.
  EXPECT_GE(outward, 1600 - 2 * 40 * 1);
  for (int32_t i = 40; i < 800; ++i) {
    const VxmVector& n = sphere->vertexNormals[i];
    if (i % 21 == 0 || i % 21 == 20) continue;
    EXPECT_GT(vxmVecDot(&n, &sphere->vertices[i]), 0.9) << i;
  }
  vxmModelFree(sphere);
  expectNoLeak();
}

// --- Double-sided facets -----------------------------------------------------------------------

TEST_F(VxmModelTest, DoubleSidedAddsTwinsOnlyWhereMissing) {
  VxmModel* single = makeModel(kSquare, {{0, 1, 2}});
  vxmModelMakeDoubleSided(single);
  EXPECT_EQ(facesOf(single), (std::vector<Face>{{0, 1, 2}, {1, 0, 2}}));
  expectVector(single->tris[1].normal, 0, 0, -1);  // normals recomputed
  vxmModelMakeDoubleSided(single);
  EXPECT_EQ(facesOf(single), (std::vector<Face>{{0, 1, 2}, {1, 0, 2}}));
  vxmModelFree(single);

  // A facet with a repeated corner is a rotation of its own reverse, so it is its own twin:
  // (0,1,1) reversed is (0,1,1) itself, (1,1,0) reversed is (1,0,1), a rotation of (1,1,0).
  for (const Face& f : {Face{0, 1, 1}, Face{1, 1, 0}, Face{2, 0, 2}}) {
    VxmModel* degenerate = makeModel(kSquare, {f});
    vxmModelMakeDoubleSided(degenerate);
    EXPECT_EQ(facesOf(degenerate), std::vector<Face>{f});
    vxmModelFree(degenerate);
  }
  // A twin found elsewhere in the table, in any rotation.
  VxmModel* rotated = makeModel(kSquare, {{0, 1, 2}, {2, 1, 0}, {1, 2, 3}, {2, 1, 3}, {0, 3, 2}});
  vxmModelMakeDoubleSided(rotated);
  EXPECT_EQ(facesOf(rotated), (std::vector<Face>{{0, 1, 2}, {2, 1, 0}, {1, 2, 3}, {2, 1, 3}, {0, 3, 2}, {3, 0, 2}}));
  vxmModelFree(rotated);

  // A pair that is already double-sided only gets its normals recomputed.
  VxmModel* pair = makeModel(kSquare, {{0, 1, 2}, {0, 2, 1}});
  pair->tris[0].normal = {9, 9, 9};
  vxmModelMakeDoubleSided(pair);
  EXPECT_EQ(facesOf(pair), (std::vector<Face>{{0, 1, 2}, {0, 2, 1}}));
  expectVector(pair->tris[0].normal, 0, 0, 1);
  vxmModelFree(pair);
  vxmModelMakeDoubleSided(nullptr);
  EXPECT_TRUE(trace.lines.empty());
  expectNoLeak();
}

TEST_F(VxmModelTest, DoubleSidedTwinCopiesEveryOtherField) {
  write("t.bmp", testBmp24(4, 4, 0x00FF00));
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}, {2, 3, 0}});
  ASSERT_TRUE(vxmModelAddTexture(model, "t.bmp"));
  VxmTri& t = model->tris[1];
  t.colour = 0x123456;
  t.texture = model->textures[0].bitmap;
  const int32_t uv[6] = {1, 2, 3, 4, 5, 6};
  std::memcpy(t.uv, uv, sizeof uv);
  t.n[0] = 2;
  t.n[1] = 3;
  t.n[2] = 0;
  vxmModelMakeDoubleSided(model);
  ASSERT_EQ(model->triCount, 4);
  const VxmTri& twin = model->tris[3];
  EXPECT_EQ(twin.v[0], 3);
  EXPECT_EQ(twin.v[1], 2);
  EXPECT_EQ(twin.v[2], 0);
  EXPECT_EQ(twin.colour, 0x123456u);
  EXPECT_EQ(twin.texture, model->textures[0].bitmap);
  EXPECT_EQ(std::memcmp(twin.uv, uv, sizeof uv), 0);
  EXPECT_EQ(twin.n[0], 2);
  EXPECT_EQ(twin.n[1], 3);
  EXPECT_EQ(twin.n[2], 0);
  vxmModelFree(model);
  expectNoLeak();
}

// Random facet tables over few vertices (many repeats, rotations and twins): the result equals
// the whole-table search facet for facet.
TEST_F(VxmModelTest, DoubleSidedMatchesTheFullSearch) {
  std::mt19937 rng(4);
  for (int round = 0; round < 200; ++round) {
    int vertices = 2 + (int)(rng() % 5), count = 1 + (int)(rng() % 40);
    std::vector<VxmVector> points;
    for (int i = 0; i < vertices; ++i) points.push_back({(float)i, (float)(i * i % 7), (float)(i % 3)});
    std::vector<Face> faces;
    for (int i = 0; i < count; ++i)
      faces.push_back({(int)(rng() % vertices), (int)(rng() % vertices), (int)(rng() % vertices)});
    VxmModel* model = makeModel(points, faces);
    ASSERT_NE(model, nullptr);
    vxmModelMakeDoubleSided(model);
    ASSERT_EQ(facesOf(model), doubleSidedReference(faces)) << "round " << round;
    vxmModelFree(model);
  }
  expectNoLeak();
}

#if !defined(_WIN32)
TEST_F(VxmModelTest, DoubleSidedShowsStatusAndProgress) {
  appSetStatusWindow((AppWindow)1);
  appSetProgressWindow((AppWindow)2);
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}});
  vxmModelMakeDoubleSided(model);
  EXPECT_EQ(appHostStatusCount(), 2);  // the text, then an empty bar
  EXPECT_STREQ(appHostStatusAt(0), "Making all facets double-sided...");
  EXPECT_STREQ(appHostStatusAt(1), "");
  EXPECT_EQ(appHostProgressCount(), 4);  // one per facet (index of triCount), then hidden
  EXPECT_EQ(appHostProgressAt(0), -1);   // facet 0 of 3: done 0 hides the bar
  EXPECT_EQ(appHostProgressAt(1), 33);
  EXPECT_EQ(appHostProgressAt(2), 66);
  EXPECT_EQ(appHostProgressAt(3), -1);
  vxmModelFree(model);
  // The status text itself, seen through a failure that stops after it.
  appHostReset();
  appSetStatusWindow((AppWindow)1);
  model = makeModel(kSquare, {{0, 1, 2}});
  vxmMemFailAfter(0);
  vxmModelMakeDoubleSided(model);
  vxmMemFailAfter(-1);
  EXPECT_EQ(appHostStatusCount(), 2);
  vxmModelFree(model);
  appHostReset();
  appSetStatusWindow((AppWindow)1);
  appSetProgressWindow((AppWindow)2);
  model = makeModel(kSquare, {{0, 1, 2}, {0, 2, 3}});
  vxmModelMakeDoubleSided(model);
  EXPECT_EQ(appHostProgressCount(), 3);
  vxmModelFree(model);
  // A thousand facets draw the bar once for each percent, not once for each facet.
  appHostReset();
  appSetProgressWindow((AppWindow)2);
  model = makeModel(kSquare, std::vector<Face>(1000, Face{0, 1, 2}));
  vxmModelMakeDoubleSided(model);
  EXPECT_EQ(appHostProgressCount(), 101);  // facet 0 (hiding the bar), 1 to 99 percent, hidden
  EXPECT_EQ(appHostProgressAt(0), -1);
  for (int p = 1; p < 64; ++p) EXPECT_EQ(appHostProgressAt(p), p);  // as many as the host keeps
  EXPECT_EQ(appHostLastProgress(), -1);
  EXPECT_EQ(model->triCount, 2000);
  vxmModelFree(model);
  expectNoLeak();
}

#endif

TEST_F(VxmModelTest, DoubleSidedLeavesTheModelAsItWasWhenOutOfMemory) {
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}, {0, 2, 3}});
  vxmModelCalcSurfaceNormals(model);
  std::vector<VxmTri> before(model->tris, model->tris + model->triCount);
  VxmTri* table = model->tris;
  for (long n = 0; n < 2; ++n) {
    trace.clear();
    vxmMemFailAfter(n);
    vxmModelMakeDoubleSided(model);
    vxmMemFailAfter(-1);
    EXPECT_EQ(trace.messages(), std::vector<std::string>{"Out of Memory!"}) << n;
    EXPECT_EQ(model->tris, table);
    ASSERT_EQ(model->triCount, 2);
    EXPECT_EQ(std::memcmp(before.data(), model->tris, 2 * sizeof(VxmTri)), 0);
  }
  // The shrink at the end may fail harmlessly.
  trace.clear();
  vxmMemFailAfter(2);
  vxmModelMakeDoubleSided(model);
  vxmMemFailAfter(-1);
  EXPECT_EQ(model->triCount, 4);
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(model);
  expectNoLeak();
}

// --- Texture table -----------------------------------------------------------------------------

TEST_F(VxmModelTest, AddTextureFillsTheNextSlot) {
  const std::string textures = path("Textures");
  write("a.bmp", testBmp24(3, 2, 0xFF0000));
  std::filesystem::create_directories(textures);
  ASSERT_TRUE(testWriteFile(testJoin(textures, "wood.bmp"), testBmp24(5, 4, 0x00FF00)));
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}});
  ASSERT_TRUE(vxmModelAddTexture(model, "a.bmp"));
  ASSERT_TRUE(vxmModelAddTexture(model, "Textures\\wood.bmp"));
  EXPECT_EQ(model->textureCount, 2);
  EXPECT_STREQ(model->textures[0].path, "a.bmp");
  EXPECT_EQ(model->textures[0].name, model->textures[0].path);
  EXPECT_STREQ(model->textures[1].path, "Textures\\wood.bmp");
  EXPECT_EQ(model->textures[1].name, model->textures[1].path + 9);
  EXPECT_STREQ(model->textures[1].name, "wood.bmp");
  ASSERT_NE(model->textures[1].bitmap, nullptr);
  EXPECT_EQ(model->textures[1].bitmap->width, 5);
  EXPECT_EQ(model->textures[1].bitmap->height, 4);
  EXPECT_EQ(model->tris[0].texture, nullptr);  // facets are not touched
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmModelTest, AddTextureFailures) {
  write("a.bmp", testBmp24(1, 1, 0));
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}});
  EXPECT_FALSE(vxmModelAddTexture(nullptr, "a.bmp"));
  EXPECT_FALSE(vxmModelAddTexture(model, nullptr));
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
  trace.clear();
  EXPECT_FALSE(vxmModelAddTexture(model, "missing.bmp"));
  EXPECT_EQ(trace.messages().back(), "Failed to load bitmap: missing.bmp");
  EXPECT_EQ(model->textureCount, 0);
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(vxmModelAddTexture(model, "a.bmp")) << i;
  long live = vxmMemLiveBlocks();
  trace.clear();
  EXPECT_FALSE(vxmModelAddTexture(model, "a.bmp"));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Attemp to exceed 12 model textures"});
  EXPECT_EQ(model->textureCount, 12);
  EXPECT_EQ(vxmMemLiveBlocks(), live);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmModelTest, RemoveTextureMovesTheLastSlotIntoTheHole) {
  write("a.bmp", testBmp24(1, 1, 0xFF0000));
  write("b.bmp", testBmp24(2, 1, 0x00FF00));
  write("c.bmp", testBmp24(3, 1, 0x0000FF));
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}, {0, 2, 3}, {1, 2, 3}});
  ASSERT_TRUE(vxmModelAddTexture(model, "a.bmp"));
  ASSERT_TRUE(vxmModelAddTexture(model, "b.bmp"));
  ASSERT_TRUE(vxmModelAddTexture(model, "c.bmp"));
  VxmBitmap* a = model->textures[0].bitmap;
  VxmBitmap* b = model->textures[1].bitmap;
  VxmBitmap* c = model->textures[2].bitmap;
  model->tris[0].texture = a;
  model->tris[0].colour = 0x010203;
  model->tris[1].texture = c;
  model->tris[1].colour = 0x040506;
  model->tris[2].texture = b;
  long live = vxmMemLiveBlocks();
  ASSERT_TRUE(vxmModelRemoveTexture(model, 0));
  EXPECT_LT(vxmMemLiveBlocks(), live);  // a's bitmap released
  EXPECT_EQ(model->textureCount, 2);
  EXPECT_STREQ(model->textures[0].path, "c.bmp");
  EXPECT_STREQ(model->textures[0].name, "c.bmp");
  EXPECT_EQ(model->textures[0].name, model->textures[0].path);
  EXPECT_EQ(model->textures[0].bitmap, c);
  EXPECT_EQ(model->textures[1].bitmap, b);
  EXPECT_EQ(model->tris[0].texture, nullptr);
  EXPECT_EQ(model->tris[0].colour, 0x7F7F7Fu);
  EXPECT_EQ(model->tris[1].texture, c);  // still shows c, now in slot 0
  EXPECT_EQ(model->tris[1].colour, 0x040506u);
  // Removing the last slot only shortens the table.
  ASSERT_TRUE(vxmModelRemoveTexture(model, 1));
  EXPECT_EQ(model->textureCount, 1);
  EXPECT_EQ(model->textures[0].bitmap, c);
  EXPECT_EQ(model->tris[2].texture, nullptr);
  EXPECT_TRUE(trace.lines.empty());
  EXPECT_FALSE(vxmModelRemoveTexture(model, 1));
  EXPECT_FALSE(vxmModelRemoveTexture(model, -1));
  EXPECT_FALSE(vxmModelRemoveTexture(nullptr, 0));
  EXPECT_EQ(trace.messages(),
            (std::vector<std::string>{"Invalid model image ID", "Invalid model image ID", "Invalid Parameters"}));
  EXPECT_EQ(model->textureCount, 1);
  vxmModelFree(model);
  expectNoLeak();
}

// Changed files are picked up; a slot that cannot be reloaded loses its bitmap, and its facets
// become grey and untextured until the file comes back.
TEST_F(VxmModelTest, ReloadTexturesPicksUpChangedFilesAndUntexturesFailedSlots) {
  write("a.bmp", testBmp24(2, 2, 0xFF0000));
  write("b.bmp", testBmp24(2, 2, 0x00FF00));
  VxmModel* model = makeModel(kSquare, {{0, 1, 2}, {0, 2, 3}});
  ASSERT_TRUE(vxmModelAddTexture(model, "a.bmp"));
  ASSERT_TRUE(vxmModelAddTexture(model, "b.bmp"));
  model->tris[0].texture = model->textures[0].bitmap;
  model->tris[0].colour = 0x102030;
  model->tris[1].texture = model->textures[1].bitmap;
  model->tris[1].colour = 0x405060;
  write("a.bmp", testBmp24(8, 4, 0x0000FF));
  ASSERT_EQ(std::remove(path("b.bmp").c_str()), 0);
  long live = vxmMemLiveBlocks();
  vxmModelReloadTextures(model);
  EXPECT_EQ(vxmMemLiveBlocks(), live - 3);  // b's bitmap went: record, pixels, row table
  ASSERT_NE(model->textures[0].bitmap, nullptr);
  EXPECT_EQ(model->textures[0].bitmap->width, 8);
  EXPECT_EQ(model->textures[0].bitmap->bits[0], 0xFF);  // blue first
  EXPECT_EQ(model->tris[0].texture, model->textures[0].bitmap);
  EXPECT_EQ(model->tris[0].colour, 0x102030u);
  EXPECT_EQ(model->textureCount, 2);
  EXPECT_EQ(model->textures[1].bitmap, nullptr);
  EXPECT_STREQ(model->textures[1].path, "b.bmp");
  EXPECT_EQ(model->tris[1].texture, nullptr);
  EXPECT_EQ(model->tris[1].colour, 0x7F7F7Fu);
#if !defined(_WIN32)
  ASSERT_NE(appHostLastBox(), nullptr);
  EXPECT_STREQ(appHostLastBox()->text, "Failed to load texture\n'b.bmp'.");
#endif
  write("b.bmp", testBmp24(2, 2, 0xFF0000));
  vxmModelReloadTextures(model);
  EXPECT_NE(model->textures[1].bitmap, nullptr);
  vxmModelReloadTextures(nullptr);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmModelTest, ValidateTextureCoordsChecksEveryCorner) {
  write("t.bmp", testBmp24(4, 2, 0xFFFFFF));
  VxmModel* model = makeModel(kSquare, std::vector<Face>(8, Face{0, 1, 2}));
  ASSERT_TRUE(vxmModelAddTexture(model, "t.bmp"));
  const int32_t W = 4 * 4096, H = 2 * 4096;
  const int32_t coords[8][6] = {
      {0, 0, W - 1, 0, 0, H - 1},   // inside, at the last texel
      {0, 0, 0, 0, W, 0},           // u2 one texel past the edge
      {0, 0, 0, 0, W - 1, 0},       // u2 just inside
      {-1, 0, 0, 0, 0, 0},          // u0 negative
      {0, 0, 0, H, 0, 0},           // v1 past the top
      {0, -4096, 0, 0, 0, 0},       // v0 negative
      {0, 0, 0, 0, 0, H - 1},       // inside
      {INT32_MAX, 0, 0, 0, 0, 0}};  // far outside
  const bool keeps[8] = {true, false, true, false, false, false, true, false};
  for (int i = 0; i < 8; ++i) {
    model->tris[i].texture = model->textures[0].bitmap;
    model->tris[i].colour = 0x00AA00;
    std::memcpy(model->tris[i].uv, coords[i], sizeof coords[i]);
  }
  vxmModelValidateTextureCoords(model);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(model->tris[i].texture != nullptr, keeps[i]) << i;
    EXPECT_EQ(model->tris[i].colour, keeps[i] ? 0x00AA00u : 0x7F7F7Fu) << i;
  }
  vxmModelValidateTextureCoords(nullptr);
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(model);
  expectNoLeak();
}
