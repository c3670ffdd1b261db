// voxim_info_test.cpp: runs the built voxim tool on files the tests write: the output of
// `voxim info` for models and lighting files, --root, failures with their exit status and the
// library's trace on standard error, and wrong usage.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "ToolRun.h"

namespace {


std::string bmp24(int width, int height) {
  auto put = [](std::string* s, unsigned v, int bytes) {
    for (int i = 0; i < bytes; ++i) s->push_back((char)((v >> (8 * i)) & 0xFF));
  };
  const unsigned stride = ((unsigned)width * 3 + 3) & ~3u;
  std::string s = "BM";
  put(&s, 54 + stride * height, 4);
  put(&s, 0, 4);
  put(&s, 54, 4);
  put(&s, 40, 4);
  put(&s, (unsigned)width, 4);
  put(&s, (unsigned)height, 4);
  put(&s, 1, 2);
  put(&s, 24, 2);
  for (int i = 0; i < 6; ++i) put(&s, 0, 4);
  s.append(stride * height, '\x40');
  return s;
}

const char* kModel =
    "VOXIM Model Format test\r\nVersion: 2.10\r\nNumber of vertices: 4\r\nNumber of facets: 3\r\n"
    "Number of textures: 2\r\nNumber of texture triangles: 2\r\nVertex normals: Average\r\nHighlight: Yes\r\n"
    "Highlight Value: 33\r\nTexture List:\r\nTextures\\wood.bmp\r\nstone.bmp\r\nVertex list:\r\n0 0 0\r\n1 0 0\r\n"
    "1 1 0\r\n0 1 0\r\nTri list (v0 v1 v2 R G B):\r\n0 1 2 1 2 3\r\n0 2 3 4 5 6\r\n1 2 3 7 8 9\r\n"
    "Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\r\n0 1 0 0 1 1 1 0\r\n2 0 0 0 0 0 0 0\r\n";

const char* kPlainModel =
    "VOXIM Model Format\r\nVersion: 2.10\r\nNumber of vertices: 3\r\nNumber of facets: 1\r\n"
    "Number of textures: 0\r\nNumber of texture triangles: 0\r\nVertex normals: No\r\nHighlight: No\r\n"
    "Highlight Value: 90\r\nTexture List:\r\nVertex list:\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n"
    "Tri list (v0 v1 v2 R G B):\r\n0 1 2 9 9 9\r\nTextured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\r\n";

class VoximTool : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    dir = testScratchDir(std::string("tool-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(testJoin(dir, name)).parent_path());
    ASSERT_TRUE(testWriteFile(testJoin(dir, name), bytes));
  }
};

// Every line of the error output is a library trace line: "<module>(<line>) : <message>".
void expectTraceLines(const std::string& err) {
  size_t start = 0;
  ASSERT_FALSE(err.empty());
  while (start < err.size()) {
    size_t end = err.find('\n', start);
    ASSERT_NE(end, std::string::npos) << err;
    const std::string line = err.substr(start, end - start);
    EXPECT_EQ(line.rfind("voxim/", 0), 0u) << line;
    EXPECT_NE(line.find(") : "), std::string::npos) << line;
    start = end + 1;
  }
}

}  // namespace

TEST_F(VoximTool, InfoDescribesAModel) {
  write("Textures/wood.bmp", bmp24(4, 4));
  write("stone.bmp", bmp24(2, 2));
  write("m.vxm", kModel);
  ToolRun run = runTool(dir, "info m.vxm");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "vertices: 4\nfacets: 3\ntextures: 2\ntextured facets: 2\nvertex normals: average\nhighlight: yes\n"
            "highlight value: 33\ntexture: Textures\\wood.bmp\ntexture: stone.bmp\n");
  EXPECT_EQ(run.err, "");
  write("plain.vxm", kPlainModel);
  run = runTool(dir, "info plain.vxm");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "vertices: 3\nfacets: 1\ntextures: 0\ntextured facets: 0\nvertex normals: no\nhighlight: no\n"
            "highlight value: 90\n");
  std::string yes = kPlainModel;
  yes.replace(yes.find("No\r\nHighlight"), 2, "Yes");
  yes.replace(yes.find("Tri list"), 0, "normals\r\n0 0 1\r\n0 0 1\r\n0 0 1\r\n");
  write("yes.vxm", yes);
  run = runTool(dir, "info yes.vxm");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nvertex normals: yes\n"), std::string::npos) << run.out;
}

TEST_F(VoximTool, InfoDescribesALightingFile) {
  write("Lights/warm.VLT",
        "VOXIM Light Format\r\nVersion: 2.10\r\nAmbient Light:\r\nRed 10\r\nGreen 20\r\nBlue 30\r\n"
        "Directional Light:\r\nRed 255\r\nGreen 128\r\nBlue 0\r\nDirection 0.5 -1 0.25\r\n");
  ToolRun run = runTool(dir, "info Lights/warm.VLT");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "ambient: 10,20,30\ndirectional: 255,128,0\ndirection: 0.500000,-1.000000,0.250000\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(VoximTool, RootNamesTheInstallationFolder) {
  write("install/Models/box.vxm", kPlainModel);
  write("elsewhere/.keep", "");
  // From another folder, the name is found below the given root (backslashes accepted).
  ToolRun run = runTool(testJoin(dir, "elsewhere"), "--root " + testJoin(dir, "install") + " info 'Models\\box.vxm'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind("vertices: 3\n", 0), 0u);
  // The option may also follow the subcommand.
  run = runTool(testJoin(dir, "elsewhere"), "info Models/box.vxm --root " + testJoin(dir, "install"));
  EXPECT_EQ(run.status, 0) << run.err;
  // Without it, the name is looked up in the current folder only.
  run = runTool(testJoin(dir, "elsewhere"), "info Models/box.vxm");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  expectTraceLines(run.err);
  EXPECT_NE(run.err.find("voxim/Model.cpp("), std::string::npos);
  EXPECT_NE(run.err.find(") : Failed to validate file: Models/box.vxm\n"), std::string::npos) << run.err;
}

TEST_F(VoximTool, FailuresExitWithOneAndTheTrace) {
  std::string bad = kPlainModel;
  bad.replace(bad.find("2.10"), 4, "2.1");
  write("old.vxm", bad);
  ToolRun run = runTool(dir, "info old.vxm");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  expectTraceLines(run.err);
  EXPECT_NE(run.err.find(") : vxmModelLoadVXM() : Unknown VXM file version: "), std::string::npos) << run.err;
  // A missing texture cannot be confirmed by anyone: the model does not load.
  std::string textured = kModel;
  write("t.vxm", textured);
  run = runTool(dir, "info t.vxm");
  EXPECT_EQ(run.status, 1);
  expectTraceLines(run.err);
  EXPECT_NE(run.err.find("wood.bmp"), std::string::npos) << run.err;
  // A .3ds name goes to the 3DS reader; a broken lighting file to the lighting module.
  run = runTool(dir, "info none.3DS");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("voxim/3dsrdr.cpp(", 0), 0u) << run.err;
  write("l.vlt", "VOXIM Light Format\r\nVersion: 2.10\r\nAmbient Light:\r\nred 1\r\n");
  run = runTool(dir, "info l.vlt");
  EXPECT_EQ(run.status, 1);
  expectTraceLines(run.err);
  EXPECT_EQ(run.err.rfind("voxim/Light.cpp(", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(") : Failed to read from file: "), std::string::npos) << run.err;
}

TEST_F(VoximTool, WrongUsageExitsWithTwo) {
  ToolRun run = runTool(dir, "");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("usage: voxim"), std::string::npos);
  run = runTool(dir, "frobnicate x");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("voxim: unknown command 'frobnicate'"), std::string::npos) << run.err;
  run = runTool(dir, "info");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "usage: voxim info FILE\n");
  run = runTool(dir, "info a.vxm b.vxm");
  EXPECT_EQ(run.status, 2);
  run = runTool(dir, "info a.vxm --root");
  EXPECT_EQ(run.status, 2);
  run = runTool(dir, "--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("  info FILE"), std::string::npos) << run.out;
}
