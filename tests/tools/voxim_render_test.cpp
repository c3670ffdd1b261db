// voxim_render_test.cpp: runs the built `voxim render` on models the tests write and reads the
// BMP files it writes: exact pixels with --raw, the defaults (size, state by vertex normals,
// fitting as the screensaver fits), rotation order, background, lighting files, and every
// failure with its exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "ToolRun.h"

namespace {


// A VXM model of the given vertices and facets ("v0 v1 v2 R G B" each), without normals.
std::string vxm(const std::vector<std::string>& vertices, const std::vector<std::string>& tris,
                const std::string& normals = "") {
  std::string s = "VOXIM Model Format test\r\nVersion: 2.10\r\nNumber of vertices: " + std::to_string(vertices.size()) +
                  "\r\nNumber of facets: " + std::to_string(tris.size()) +
                  "\r\nNumber of textures: 0\r\nNumber of texture triangles: 0\r\nVertex normals: " +
                  (normals.empty() ? "No" : "Yes") + "\r\nHighlight: No\r\nHighlight Value: 90\r\nTexture List:\r\nVertex list:\r\n";
  for (const std::string& v : vertices) s += v + "\r\n";
  s += normals;
  s += "Tri list (v0 v1 v2 R G B):\r\n";
  for (const std::string& t : tris) s += t + "\r\n";
  return s + "Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\r\n";
}

// The facet with corners at pixels (10, 10), (10, 20), (20, 15) of a 40 x 30 frame with --raw.
const std::string kReference = vxm({"-10 -5 5", "-10 5 5", "0 0 5"}, {"0 1 2 200 100 50"});

struct Frame {
  int32_t width = 0, height = 0;
  std::string bytes;  // the whole file
  bool ok = false;

  uint32_t stride() const { return ((uint32_t)width * 3 + 3) & ~3u; }
  uint32_t pixel(int32_t x, int32_t y) const {
    const size_t at = 54 + (size_t)y * stride() + 3 * (size_t)x;
    return (uint32_t)(uint8_t)bytes[at + 2] << 16 | (uint32_t)(uint8_t)bytes[at + 1] << 8 | (uint8_t)bytes[at];
  }
  int countNot(uint32_t background) const {
    int n = 0;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) n += pixel(x, y) != background;
    return n;
  }
};

uint32_t le32(const std::string& b, size_t at) {
  return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8 | (uint32_t)(uint8_t)b[at + 2] << 16 |
         (uint32_t)(uint8_t)b[at + 3] << 24;
}

class VoximRender : public ::testing::Test {
 protected:
  std::string dir;
  void SetUp() override {
    dir = testScratchDir(std::string("render-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void write(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(testJoin(dir, name)).parent_path());
    ASSERT_TRUE(testWriteFile(testJoin(dir, name), bytes));
  }
  // Reads a BMP the tool wrote and checks its headers.
  Frame read(const std::string& name) {
    Frame f;
    if (!testReadFile(testJoin(dir, name), &f.bytes) || f.bytes.size() < 54) return f;
    f.width = (int32_t)le32(f.bytes, 18);
    f.height = (int32_t)le32(f.bytes, 22);
    EXPECT_EQ(f.bytes.substr(0, 2), "BM");
    EXPECT_EQ(le32(f.bytes, 2), f.bytes.size());
    EXPECT_EQ(le32(f.bytes, 10), 54u);
    EXPECT_EQ(le32(f.bytes, 14), 40u);
    EXPECT_EQ(le32(f.bytes, 26), 1u | 24u << 16);  // one plane, 24 bits
    EXPECT_EQ(le32(f.bytes, 30), 0u);               // BI_RGB
    f.ok = f.bytes.size() == 54 + (size_t)f.stride() * (size_t)f.height;
    EXPECT_TRUE(f.ok);
    return f;
  }
};

TEST_F(VoximRender, RawFrameHasTheRasterisersExactPixels) {
  write("tri.vxm", kReference);
  ToolRun run = runTool(dir, "render tri.vxm -o out.bmp --raw --size 40x30 --state 1");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  Frame f = read("out.bmp");
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.width, 40);
  EXPECT_EQ(f.height, 30);
  // The rows are as in memory: bottom-up, row 15 spans columns 10..19, row 20 is empty.
  for (int32_t x = 0; x < 40; ++x) EXPECT_EQ(f.pixel(x, 15), x >= 10 && x < 20 ? 0xC86432u : 0u) << x;
  for (int32_t x = 0; x < 40; ++x) EXPECT_EQ(f.pixel(x, 20), 0u) << x;
  EXPECT_EQ(f.pixel(10, 10), 0xC86432u);
  EXPECT_EQ(f.pixel(11, 10), 0u);
  EXPECT_EQ(f.countNot(0), 51);
}

TEST_F(VoximRender, DefaultsAreTheScreensaversOwn) {
  write("tri.vxm", kReference);
  // 256 x 256, state 7 for a model without vertex normals: lit flat, intensity 128.
  ToolRun run = runTool(dir, "render tri.vxm -o plain.bmp --raw");
  ASSERT_EQ(run.status, 0) << run.err;
  Frame f = read("plain.bmp");
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.width, 256);
  EXPECT_EQ(f.height, 256);
  EXPECT_EQ(f.pixel(128 - 8, 128), 0xFFA270u);  // 255, 162, 112
  EXPECT_EQ(f.pixel(0, 0), 0u);                 // black background

  // State 11 with vertex normals: smooth, here with normals of length 2 (intensity 255).
  write("smooth.vxm", vxm({"-10 -5 5", "-10 5 5", "0 0 5"}, {"0 1 2 200 100 50"},
                          "Vertex normal list:\r\n0 0 -2\r\n0 0 -2\r\n0 0 -2\r\n"));
  run = runTool(dir, "render smooth.vxm -o smooth.bmp --raw");
  ASSERT_EQ(run.status, 0) << run.err;
  f = read("smooth.bmp");
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.pixel(128 - 8, 128), 0xFFE1AFu);  // 199 + 126, 99 + 126, 49 + 126
}

TEST_F(VoximRender, ModelIsFittedIntoTheSmallerSide) {
  // A square of side 2000 far from the origin: fitted, its half diagonal becomes the circle's
  // radius of 128 / 1.05 pixels, so its sides lie 86.2 pixels from the centre.
  write("far.vxm", vxm({"4000 4000 0", "4000 6000 0", "6000 6000 0", "6000 4000 0"},
                       {"0 1 2 255 255 255", "0 2 3 255 255 255"}));
  ToolRun run = runTool(dir, "render far.vxm -o fit.bmp --state 1 --size 300x256");
  ASSERT_EQ(run.status, 0) << run.err;
  Frame f = read("fit.bmp");
  ASSERT_TRUE(f.ok);
  int32_t left = 300, right = -1, bottom = 256, top = -1;
  for (int32_t y = 0; y < f.height; ++y)
    for (int32_t x = 0; x < f.width; ++x)
      if (f.pixel(x, y) == 0xFFFFFF) {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
      }
  EXPECT_EQ(left, 150 - 86);
  EXPECT_EQ(right, 150 + 86 - 1);
  EXPECT_EQ(bottom, 128 - 86);
  EXPECT_EQ(top, 128 + 86 - 1);
  EXPECT_EQ(f.countNot(0), 172 * 172);
  // --raw keeps the model where it is: far outside the frame.
  run = runTool(dir, "render far.vxm -o raw.bmp --state 1 --raw");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read("raw.bmp").countNot(0), 0);
}

TEST_F(VoximRender, RotationsTurnAboutXThenYThenZ) {
  // Wireframe of (0, 0, 0), (0, 10, 0), (10, 0, 0) with --raw in a 40 x 30 frame. The lines
  // from corner 0 (pixel 20, 15) towards corner 1 show where corner 1 went.
  write("corner.vxm", vxm({"0 0 0", "0 10 0", "10 0 0"}, {"0 1 2 9 9 9"}));
  ToolRun run = runTool(dir, "render corner.vxm -o xy.bmp --raw --size 40x30 --state 0 --rotate 30,40,0");
  ASSERT_EQ(run.status, 0) << run.err;
  Frame f = read("xy.bmp");
  ASSERT_TRUE(f.ok);
  // X first: corner 1 at (23.2, 23.7) -> (23, 24); Y first would leave it at column 20.
  EXPECT_EQ(f.pixel(20, 15), 0xFFFFFFu);
  EXPECT_EQ(f.pixel(23, 23), 0xFFFFFFu);
  EXPECT_EQ(f.pixel(20, 23), 0u);
  run = runTool(dir, "render corner.vxm -o yz.bmp --raw --size 40x30 --state 0 --rotate 0,40,30");
  ASSERT_EQ(run.status, 0) << run.err;
  f = read("yz.bmp");
  ASSERT_TRUE(f.ok);
  // Y before Z: corner 1 at (15, 24) and the line passes (17, 20); Z first: (16, 24) and (18, 20).
  EXPECT_EQ(f.pixel(17, 20), 0xFFFFFFu);
  EXPECT_EQ(f.pixel(18, 20), 0u);
  // Half a turn about Z carries the facet to the other side of the centre.
  write("tri.vxm", kReference);
  run = runTool(dir, "render tri.vxm -o z.bmp --raw --size 40x30 --state 1 --rotate 0,0,180");
  ASSERT_EQ(run.status, 0) << run.err;
  f = read("z.bmp");
  // Corners (30, 20), (30, 10), (20, 15): row 15 now spans columns 21..29 (the left edges meet
  // at corner 2 and the later one stands), 50 pixels in all.
  for (int32_t x = 0; x < 40; ++x) EXPECT_EQ(f.pixel(x, 15), x >= 21 && x < 30 ? 0xC86432u : 0u) << x;
  EXPECT_EQ(f.countNot(0), 50);
}

TEST_F(VoximRender, BackgroundAndLightingFile) {
  write("tri.vxm", kReference);
  write("Lights/flat.vlt",
        "VOXIM Light Format\r\nVersion: 2.10\r\nAmbient Light:\r\nRed 0\r\nGreen 0\r\nBlue 0\r\n"
        "Directional Light:\r\nRed 255\r\nGreen 255\r\nBlue 255\r\nDirection 0 0 1\r\n");
  ToolRun run = runTool(dir, "render tri.vxm -o lit.bmp --raw --size 41x30 --light Lights/flat.vlt --background 1,2,3");
  ASSERT_EQ(run.status, 0) << run.err;
  Frame f = read("lit.bmp");
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.stride(), 124u);                // the padding is written too
  EXPECT_EQ(f.pixel(0, 0), 0x010203u);
  EXPECT_EQ(f.pixel(40, 29), 0x010203u);
  EXPECT_EQ(f.pixel(12, 15), 0x7F7F7Fu);      // no ambient: floor(128 * 255 / 256) in every channel
  EXPECT_EQ(f.countNot(0x010203), 51);
}

TEST_F(VoximRender, FailuresExitWithOneAndTheTrace) {
  write("tri.vxm", kReference);
  ToolRun run = runTool(dir, "render missing.vxm -o out.bmp");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(") : Failed to validate file: missing.vxm\n"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(testJoin(dir, "out.bmp")));
  run = runTool(dir, "render tri.vxm -o out.bmp --light none.vlt");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("voxim/Light.cpp("), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(") : Failed to validate file: none.vlt\n"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(testJoin(dir, "out.bmp")));
  run = runTool(dir, "render tri.vxm -o no/such/folder/out.bmp");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "voxim: cannot write no/such/folder/out.bmp\n");
}

TEST_F(VoximRender, WrongUsageExitsWithTwo) {
  write("tri.vxm", kReference);
  const std::string usage =
      "usage: voxim render MODEL -o OUT.bmp [--light FILE.vlt] [--size WxH] [--state N] [--rotate X,Y,Z] "
      "[--background R,G,B] [--raw]\n";
  for (const char* args : {"render", "render tri.vxm", "render -o out.bmp", "render tri.vxm -o",
                           "render tri.vxm other.vxm -o out.bmp", "render tri.vxm -o out.bmp --size 0x5",
                           "render tri.vxm -o out.bmp --size 10", "render tri.vxm -o out.bmp --size 10x",
                           "render tri.vxm -o out.bmp --size 20000x10", "render tri.vxm -o out.bmp --state x",
                           "render tri.vxm -o out.bmp --rotate 1,2", "render tri.vxm -o out.bmp --rotate 1,2,3,4",
                           "render tri.vxm -o out.bmp --rotate a,b,c", "render tri.vxm -o out.bmp --background 256,0,0",
                           "render tri.vxm -o out.bmp --background 1,2", "render tri.vxm -o out.bmp --frob"}) {
    ToolRun run = runTool(dir, args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err, usage) << args;
  }
  EXPECT_FALSE(std::filesystem::exists(testJoin(dir, "out.bmp")));
  ToolRun help = runTool(dir, "--help");
  EXPECT_NE(help.out.find("  render MODEL -o OUT.bmp"), std::string::npos) << help.out;
}

}  // namespace
