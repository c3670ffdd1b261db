// import_texture_test.cpp: pictures of imported models: PNG decoding into the working form,
// coordinates fitted by the texture rule, facets that cannot show their picture (spanning tiles,
// beyond twelve slots) coloured by its average, hostile pictures, and the pictures written as
// BMP files beside a saved model without overwriting another file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "ImportInternal.h"
#include "ModelTestSupport.h"
#include "vxmImport.h"
#include "vxmModel.h"

namespace {

// 2 x 2 pixels: top row red, green; bottom row blue, white. Average 0x808080.
const std::string kPng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x02\x08\x02\x00\x00"
    "\x00\xfd\xd4\x9a\x73\x00\x00\x00\x12\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\xc0\x00\xc2\x0c\xff\x81\x00\x00\x1f"
    "\xee\x05\xfb\x0b\xd9\x68\x8b\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    75);
// A PNG header claiming 100000 x 100000 pixels (its checksums right), with two rows of data.
const std::string kHugePng(
    "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x01\x86\xa0\x00\x01\x86\xa0\x08\x02\x00\x00"
    "\x00\x27\x30\x9c\x9f\x00\x00\x00\x0b\x49\x44\x41\x54\x78\x9c\x63\x60\x40\x06\x00\x00\x0e\x00\x01\xa9\x91\x73\xb1"
    "\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
    68);

const char* const kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1.5 0\n";

class ImportTexture : public ModelFolderTest {
 protected:
  VxmModel* loadObj(const std::string& mtl, const std::string& faces) {
    write("m.mtl", mtl);
    write("m.obj", std::string("mtllib m.mtl\n") + kTriangle + faces);
    return vxmModelLoad("m.obj");
  }
};

TEST_F(ImportTexture, CoordinatesAreFittedIntoOneTileAndTheFarEdgeIsClamped) {
  struct Row {
    float uv[6];
    bool fits;
    int32_t fitted[6];
  } rows[] = {
      {{0, 0, 1, 0, 0, 1}, true, {0, 0, 16383, 0, 0, 8191}},
      {{1.25f, -0.75f, 1.5f, -0.5f, 2, -0.25f}, true, {4096, 2048, 8192, 4096, 16383, 6144}},
      {{0.5f, 0, 1.5f, 0, 1, 0}, false, {}},
      {{0, 0.5f, 0, 1.25f, 0, 0}, false, {}},
      {{NAN, 0, 0, 0, 0, 0}, false, {}},
      {{INFINITY, 0, INFINITY, 0, INFINITY, 0}, false, {}},
  };
  for (const Row& row : rows) {
    int32_t fitted[6] = {};
    ASSERT_EQ(importFitCoordinates(row.uv, 4, 2, fitted), row.fits) << row.uv[0] << " " << row.uv[1];
    if (row.fits) {
      for (int k = 0; k < 6; ++k) EXPECT_EQ(fitted[k], row.fitted[k]) << row.uv[0] << " " << k;
    }
  }
}

TEST_F(ImportTexture, ObjMapKdBecomesATextureAndAFacetAcrossTilesTakesItsAverage) {
  write("p.png", kPng);
  VxmModel* m = loadObj("newmtl a\nKd 1 0 0\nmap_Kd -s 1 1 1 p.png\n", "usemtl a\nf 1/1 2/2 3/3\nf 1/1 2/4 3/3\nf 1 2 3\n");
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->textureCount, 1);
  EXPECT_EQ(m->textures[0].path, path("p.png"));
  const VxmBitmap* b = m->textures[0].bitmap;
  ASSERT_EQ(b->width, 2);
  ASSERT_EQ(b->height, 2);
  // Row 0 is the picture's bottom row, pixels in blue, green, red.
  const uint8_t bottomLeft[3] = {255, 0, 0}, topLeft[3] = {0, 0, 255}, topRight[3] = {0, 255, 0};
  EXPECT_EQ(std::memcmp(b->lineTable[0], bottomLeft, 3), 0);
  EXPECT_EQ(std::memcmp(b->lineTable[1], topLeft, 3), 0);
  EXPECT_EQ(std::memcmp(b->lineTable[1] + 3, topRight, 3), 0);
  ASSERT_EQ(m->triCount, 6);
  EXPECT_EQ(m->tris[0].texture, b);
  const int32_t uv[6] = {0, 0, 0, 8191, 8191, 0};  // corners stored as (0, 2, 1)
  for (int k = 0; k < 6; ++k) EXPECT_EQ(m->tris[0].uv[k], uv[k]) << k;
  EXPECT_EQ(m->tris[1].texture, b);            // the twin shows it too, its coordinates with its corners
  const int32_t twinUv[6] = {0, 8191, 0, 0, 8191, 0};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(m->tris[1].uv[k], twinUv[k]) << k;
  EXPECT_EQ(m->tris[2].texture, nullptr);      // u from 0 to 1.5: two tiles
  EXPECT_EQ(m->tris[2].colour, 0x808080u);
  EXPECT_EQ(m->tris[4].texture, nullptr);      // no coordinates: the material's colour
  EXPECT_EQ(m->tris[4].colour, 0xFF0000u);
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(ImportTexture, PicturesBeyondTwelveSlotsLendTheirAverageColour) {
  std::string mtl, faces;
  for (int i = 0; i < 13; ++i) {
    write("p" + std::to_string(i) + ".bmp", testBmp24(3, 2, 0x010203u * (uint32_t)(i + 1)));
    mtl += "newmtl m" + std::to_string(i) + "\nmap_Kd p" + std::to_string(i) + ".bmp\n";
    faces += "usemtl m" + std::to_string(i) + "\nf 1/1 2/2 3/3\n";
  }
  VxmModel* m = loadObj(mtl, faces);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->textureCount, 12);
  EXPECT_EQ(m->tris[22].texture, m->textures[11].bitmap);
  EXPECT_EQ(m->tris[24].texture, nullptr);
  EXPECT_EQ(m->tris[24].colour, 0x010203u * 13);
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(ImportTexture, HostileAndMissingPicturesLeaveTheColourOrRefuseTheModel) {
  struct Row {
    std::string picture, words;
  } rows[] = {
      {kHugePng, "is 100000 x 100000 pixels; a texture may have at most 2048 x 2048."},
      {kPng.substr(0, 50), "cannot be decoded"},
      {"GIF89a", "is not a PNG, JPEG or BMP picture."},
  };
  for (const Row& row : rows) {
    trace.clear();
    write("p.png", row.picture);
    long before = vxmMemAllocations();
    VxmModel* m = loadObj("newmtl a\nKd 0 0 1\nmap_Kd p.png\n", "usemtl a\nf 1/1 2/2 3/3\n");
    EXPECT_LT(vxmMemAllocations() - before, 40) << row.words;  // nothing of the claimed size
    ASSERT_NE(m, nullptr) << row.words;
    EXPECT_EQ(m->textureCount, 0);
    EXPECT_EQ(m->tris[0].colour, 0x0000FFu);
    EXPECT_TRUE(std::any_of(trace.lines.begin(), trace.lines.end(),
                            [&](const std::string& line) { return line.find(row.words) != std::string::npos; }))
        << row.words;
    vxmModelFree(m);
  }
  VxmModel* m = loadObj("newmtl a\nmap_Kd ../p.png\n", "usemtl a\nf 1/1 2/2 3/3\n");
  EXPECT_EQ(m, nullptr);
  EXPECT_STREQ(vxmImportReason(), "The model names a file outside its folder: ../p.png");
  expectNoLeak();
}

TEST_F(ImportTexture, SavingWritesEachPictureBesideTheModelNeverOverAnotherFile) {
  write("p.png", kPng);
  write("out-1.bmp", "someone else's picture");
  VxmModel* m = loadObj("newmtl a\nmap_Kd p.png\n", "usemtl a\nf 1/1 2/2 3/3\n");
  ASSERT_NE(m, nullptr);
  ASSERT_TRUE(vxmModelSaveVXM(m, path("out.vxm").c_str()));
  EXPECT_EQ(read("out-1.bmp"), "someone else's picture");
  EXPECT_STREQ(m->textures[0].path, "out-2.bmp");  // beside the model: stored relative to its folder
  std::string expected = testBmp24(2, 2, 0).substr(0, 54);
  expected += std::string("\xFF\x00\x00\xFF\xFF\xFF\x00\x00\x00\x00\xFF\x00\xFF\x00\x00\x00", 16);
  EXPECT_EQ(read("out-2.bmp"), expected);
  // Saved again: the same file serves, and a BMP texture is not written.
  ASSERT_TRUE(vxmModelSaveVXM(m, path("out.vxm").c_str()));
  EXPECT_FALSE(std::filesystem::exists(path("out-3.bmp")));
  vxmModelFree(m);
  // The saved model reads back with its picture.
  m = vxmModelLoad(path("out.vxm").c_str());
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->textureCount, 1);
  EXPECT_EQ(m->tris[0].texture, m->textures[0].bitmap);
  EXPECT_EQ(m->textures[0].bitmap->lineTable[1][2], 255);  // top left red
  vxmModelFree(m);
  expectNoLeak();
}

}  // namespace
