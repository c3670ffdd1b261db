// voxim_convert_test.cpp: `voxim convert` on hand-built 3DS files, VXM files and a real 3DS
// file: the written VXM holds exactly the model the library reads; failures and usage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "ChunkBytes.h"
#include "TestSupport.h"
#include "ToolRun.h"
#include "app.h"
#include "appHost.h"
#include "vxmModel.h"

namespace {

// Two objects (a quad and a triangle), a byte-colour and a float-colour material.
std::string twoObjects() {
  std::string verts1 = u16(4);
  const float quad[4][3] = {{0, 0, 0}, {1.5f, 0, 0}, {1.5f, 2.25f, 0}, {0, 2.25f, -0.5f}};
  for (const auto& v : quad) verts1 += f32(v[0]) + f32(v[1]) + f32(v[2]);
  std::string faces1 = u16(2) + u16(0) + u16(1) + u16(2) + u16(0) + u16(0) + u16(2) + u16(3) + u16(0);
  faces1 += chunk(0x4130, str("brick") + u16(1) + u16(1));
  std::string verts2 = u16(3);
  const float tri[3][3] = {{4, 4, 4}, {5, 4, 4}, {4, 5, 4.75f}};
  for (const auto& v : tri) verts2 += f32(v[0]) + f32(v[1]) + f32(v[2]);
  std::string faces2 = u16(1) + u16(0) + u16(1) + u16(2) + u16(0) + chunk(0x4130, str("glass") + u16(1) + u16(0));
  std::string mesh = chunk(0xAFFF, chunk(0xA000, str("brick")) + chunk(0xA010, chunk(0x11, "\xB0\x40\x20"))) +
                     chunk(0xAFFF, chunk(0xA000, str("glass")) + chunk(0xA020, chunk(0x10, f32(0.5f) + f32(1) + f32(0.25f)))) +
                     chunk(0x4000, str("quad") + chunk(0x4100, chunk(0x4110, verts1) + chunk(0x4120, faces1))) +
                     chunk(0x4000, str("tri") + chunk(0x4100, chunk(0x4110, verts2) + chunk(0x4120, faces2)));
  return chunk(0x4D4D, chunk(0x3D3D, mesh));
}

class VoximConvert : public ::testing::Test {
 protected:
  TraceCapture trace;
  std::string dir;
  void SetUp() override {
    dir = testScratchDir(std::string("convert-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    appHostSetInstallPath(dir.c_str());
  }
  void write(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(testWriteFile(testJoin(dir, name), bytes));
  }
};

// The two models hold the same vertices, facets (indices, colours, textures) and settings.
void expectSameModel(const VxmModel* a, const VxmModel* b) {
  ASSERT_EQ(a->vertexCount, b->vertexCount);
  ASSERT_EQ(a->triCount, b->triCount);
  EXPECT_EQ(a->textureCount, b->textureCount);
  EXPECT_EQ(a->highlight, b->highlight);
  EXPECT_EQ(a->highlightValue, b->highlightValue);
  // VXM keeps six decimals.
  auto near = [](float p, float q) { return std::fabs(double(p) - double(q)) <= 5e-7 + 1e-7 * std::fabs(double(p)); };
  for (int i = 0; i < a->vertexCount; ++i) {
    const VxmVector &p = a->vertices[i], &q = b->vertices[i];
    EXPECT_TRUE(near(p.x, q.x) && near(p.y, q.y) && near(p.z, q.z))
        << "vertex " << i << ": " << p.x << " " << p.y << " " << p.z << " against " << q.x << " " << q.y << " " << q.z;
  }
  for (int i = 0; i < a->triCount; ++i) {
    EXPECT_EQ(std::memcmp(a->tris[i].v, b->tris[i].v, sizeof a->tris[i].v), 0) << "facet " << i;
    EXPECT_EQ(a->tris[i].colour, b->tris[i].colour) << "facet " << i;
    EXPECT_EQ(a->tris[i].texture == nullptr, b->tris[i].texture == nullptr) << "facet " << i;
  }
}

}  // namespace

TEST_F(VoximConvert, ThreeDSBecomesTheSameModelAsVXM) {
  write("scene.3ds", twoObjects());
  ToolRun run = runTool(dir, "convert scene.3ds scene.vxm");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "scene.vxm: 7 vertices, 6 facets, 0 textures\n");
  EXPECT_EQ(run.err, "");

  VxmModel* imported = vxmModelLoad3DS("scene.3ds");
  VxmModel* converted = vxmModelLoadVXM("scene.vxm");
  ASSERT_NE(imported, nullptr);
  ASSERT_NE(converted, nullptr);
  expectSameModel(imported, converted);
  // The colours the import gave: default, brick (byte chunk), glass (float chunk).
  EXPECT_EQ(converted->tris[0].colour, 0x7F7F7Fu);
  EXPECT_EQ(converted->tris[2].colour, 0xB04020u);
  EXPECT_EQ(converted->tris[4].colour, 0x7FFF3Fu);
  // File (4, 5, 4.75) is model (4, 4.75, 5).
  EXPECT_EQ(converted->vertices[6].y, 4.75f);
  EXPECT_EQ(converted->vertices[6].z, 5.0f);
  vxmModelFree(imported);
  vxmModelFree(converted);

  // What `voxim info` says of the result.
  run = runTool(dir, "info scene.vxm");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, run.out.find("textures")), "vertices: 7\nfacets: 6\n");
}

TEST_F(VoximConvert, VXMConvertsToItself) {
  VxmModel* model = vxmModelCreate(4, 0, 2);
  ASSERT_NE(model, nullptr);
  const VxmVector vertices[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0.5f}, {0, 1, -2}};
  std::memcpy(model->vertices, vertices, sizeof vertices);
  const int32_t corners[2][3] = {{0, 1, 2}, {0, 2, 3}};
  for (int i = 0; i < 2; ++i) std::memcpy(model->tris[i].v, corners[i], sizeof corners[i]);
  model->tris[1].colour = 0x102030;
  model->highlight = true;
  model->highlightValue = 12;
  ASSERT_TRUE(vxmModelCalcSurfaceNormals(model));
  ASSERT_TRUE(vxmModelSaveVXM(model, testJoin(dir, "in.vxm").c_str()));

  ToolRun run = runTool(dir, "convert in.vxm out.vxm");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "out.vxm: 4 vertices, 2 facets, 0 textures\n");
  VxmModel* converted = vxmModelLoadVXM("out.vxm");
  ASSERT_NE(converted, nullptr);
  expectSameModel(model, converted);
  vxmModelFree(converted);
  vxmModelFree(model);
}

TEST_F(VoximConvert, RealThreeDSFileConverts) {
  const std::string source = "/usr/share/assimp/models/3DS/test1.3ds";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "assimp-testmodels is not installed";
  ToolRun run = runTool(dir, "convert " + toolQuote(source) + " test1.vxm");
  ASSERT_EQ(run.status, 0) << run.err;
  VxmModel* imported = vxmModelLoad3DS(source.c_str());
  VxmModel* converted = vxmModelLoadVXM("test1.vxm");
  ASSERT_NE(imported, nullptr);
  ASSERT_NE(converted, nullptr);
  EXPECT_EQ(converted->vertexCount, 288);  // lib3ds counts 288 vertices and 108 faces
  EXPECT_EQ(converted->triCount, 216);
  expectSameModel(imported, converted);
  vxmModelFree(imported);
  vxmModelFree(converted);
}

TEST_F(VoximConvert, FailuresAndUsage) {
  ToolRun run = runTool(dir, "convert missing.3ds out.vxm");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("voxim/3dsrdr.cpp("), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(") : Failed to validate file: missing.3ds\n"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(testJoin(dir, "out.vxm")));

  // A 3DS file without vertices.
  write("empty.3ds", chunk(0x4D4D, ""));
  run = runTool(dir, "convert empty.3ds out.vxm");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(") : Invalid Parameters\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("voxim/3dsrdr.cpp("), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(") : Failed to create model\n"), std::string::npos) << run.err;

  // An output in a folder that does not exist.
  write("scene.3ds", twoObjects());
  run = runTool(dir, "convert scene.3ds nowhere/out.vxm");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(") : Failed to open file: nowhere/out.vxm\n"), std::string::npos) << run.err;

  // Onto an existing model with the disk full (or a failing flush, close or replacement): a
  // failure with the system's reason, the old file untouched, no temporary file.
  run = runTool(dir, "convert scene.3ds good.vxm");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string old(40000, 'o');
  for (const char* fault : {"write:100", "write:0", "flush", "close", "replace"}) {
    write("big.vxm", old);
    run = runTool(dir, "convert good.vxm big.vxm", std::string("QUIRLA_SAVE_FAULT=") + fault);
    EXPECT_EQ(run.status, 1) << fault;
    EXPECT_NE(run.err.find("voxim: big.vxm: " + std::string(std::strerror(ENOSPC)) + "\n"), std::string::npos)
        << fault << run.err;
    std::string after;
    ASSERT_TRUE(testReadFile(testJoin(dir, "big.vxm"), &after));
    EXPECT_TRUE(after == old) << fault;
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) entries += entry.is_regular_file();
    EXPECT_EQ(entries, 4) << fault;  // empty.3ds, scene.3ds, good.vxm, big.vxm
  }

  for (const char* args : {"convert", "convert scene.3ds", "convert a b c"}) {
    run = runTool(dir, args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err, "usage: voxim convert IN OUT.vxm\n") << args;
  }
  run = runTool(dir, "--help");
  EXPECT_NE(run.out.find("\n  convert IN OUT.vxm "), std::string::npos) << run.out;
}

TEST_F(VoximConvert, InfoAndRenderReadThreeDS) {
  write("scene.3ds", twoObjects());
  ToolRun run = runTool(dir, "info scene.3ds");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "vertices: 7\nfacets: 6\ntextures: 0\ntextured facets: 0\nvertex normals: no\nhighlight: no\n"
            "highlight value: 90\n");

  // The 3DS file and its conversion draw the same picture, and the picture shows the model.
  ASSERT_EQ(runTool(dir, "convert scene.3ds scene.vxm").status, 0);
  const std::string options = " --size 96x80 --state 5 --rotate 0.3,0.6,0";
  run = runTool(dir, "render scene.3ds -o from3ds.bmp" + options);
  ASSERT_EQ(run.status, 0) << run.err;
  run = runTool(dir, "render scene.vxm -o fromvxm.bmp" + options);
  ASSERT_EQ(run.status, 0) << run.err;
  std::string a, b;
  ASSERT_TRUE(testReadFile(testJoin(dir, "from3ds.bmp"), &a));
  ASSERT_TRUE(testReadFile(testJoin(dir, "fromvxm.bmp"), &b));
  ASSERT_GT(a.size(), 54u);
  EXPECT_EQ(a, b);
  const std::string pixels = a.substr(54);
  EXPECT_NE(pixels.find_first_not_of(pixels[0]), std::string::npos) << "a blank picture";
}
