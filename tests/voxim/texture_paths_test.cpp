// texture_paths_test.cpp: texture paths that travel with the model. Saving stores a texture in the
// model's folder (or below) relative to it, one in the installation folder relative to that, any
// other as it is; reading looks in the model's folder first, then the installation folder, then
// as written, so a model copied with its pictures opens elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ModelTestSupport.h"
#include "vxmModel.h"

namespace {

class TexturePaths : public ModelFolderTest {
 protected:
  VxmModel* model = nullptr;
  void SetUp() override {
    ModelFolderTest::SetUp();
    model = vxmModelCreate(3, 0, 1);
    ASSERT_NE(model, nullptr);
    model->tris[0].v[1] = 1;
    model->tris[0].v[2] = 2;
    model->vertices[1].x = 1.0f;
    model->vertices[2].y = 1.0f;
  }
  void TearDown() override {
    vxmModelFree(model);
    ModelFolderTest::TearDown();
  }
  void picture(const std::string& name, uint32_t colour) {
    std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
    write(name, testBmp24(2, 2, colour));
  }
  // The texture lines of a saved model.
  std::string textureLines(const std::string& name) {
    const std::string text = read(name);
    const size_t from = text.find("Texture List:\r\n") + 15, to = text.find("Vertex list:");
    return text.substr(from, to - from);
  }
  static uint32_t firstPixel(const VxmBitmap* b) { return b->bits[0] | b->bits[1] << 8 | b->bits[2] << 16; }
};

TEST_F(TexturePaths, EachTextureIsStoredRelativeToTheModelOrTheInstallationOrAsItIs) {
  // The installation is a folder of its own here, so that a picture can lie outside it.
  std::filesystem::create_directories(path("inst"));
#if defined(_WIN32)
  appSetInstallFolder((path("inst") + "\\").c_str());
#else
  appHostSetInstallPath(path("inst").c_str());
#endif
  picture("work/pics/own.bmp", 0x112233);
  picture("inst/Textures/installed.bmp", 0x445566);
  picture("elsewhere/other.bmp", 0x778899);
  for (const char* name : {"work/pics/own.bmp", "inst/Textures/installed.bmp", "elsewhere/other.bmp"})
    ASSERT_TRUE(vxmModelAddTexture(model, path(name).c_str())) << name;
  std::filesystem::create_directories(path("work"));
  ASSERT_TRUE(vxmModelSaveVXM(model, path("work/m.vxm").c_str()));
  EXPECT_EQ(textureLines("work/m.vxm"),
            "pics/own.bmp\r\nTextures/installed.bmp\r\n" + path("elsewhere/other.bmp") + "\r\n");
  // The slots take the stored forms.
  EXPECT_STREQ(model->textures[0].path, "pics/own.bmp");
  // Saved again into another folder, the model's own picture is no longer below it.
  std::filesystem::create_directories(path("copy"));
  ASSERT_TRUE(vxmModelSaveVXM(model, path("copy/m.vxm").c_str()));
  EXPECT_EQ(textureLines("copy/m.vxm"),
            path("work/pics/own.bmp") + "\r\nTextures/installed.bmp\r\n" + path("elsewhere/other.bmp") + "\r\n");
}

TEST_F(TexturePaths, AModelCopiedWithItsPicturesOpensElsewhereAndItsOwnFolderComesFirst) {
  picture("work/pics/own.bmp", 0x112233);
  ASSERT_TRUE(vxmModelAddTexture(model, path("work/pics/own.bmp").c_str()));
  model->tris[0].texture = model->textures[0].bitmap;
  ASSERT_TRUE(vxmModelSaveVXM(model, path("work/m.vxm").c_str()));
  std::filesystem::copy(path("work"), path("moved"), std::filesystem::copy_options::recursive);
  std::filesystem::remove_all(path("work"));
  // The same relative name below the installation folder is passed over for the model's own.
  picture("pics/own.bmp", 0xAABBCC);
  VxmModel* moved = vxmModelLoad(path("moved/m.vxm").c_str());
  ASSERT_NE(moved, nullptr);
  ASSERT_EQ(moved->textureCount, 1);
  EXPECT_EQ(firstPixel(moved->textures[0].bitmap), 0x112233u);
  EXPECT_EQ(moved->tris[0].texture, moved->textures[0].bitmap);
  // Refresh Textures finds it the same way.
  vxmModelReloadTextures(moved);
  ASSERT_NE(moved->textures[0].bitmap, nullptr);
  EXPECT_EQ(firstPixel(moved->textures[0].bitmap), 0x112233u);
  // Without the model's own copy, the installation's is taken.
  std::filesystem::remove(path("moved/pics/own.bmp"));
  vxmModelReloadTextures(moved);
  ASSERT_NE(moved->textures[0].bitmap, nullptr);
  EXPECT_EQ(firstPixel(moved->textures[0].bitmap), 0xAABBCCu);
  vxmModelFree(moved);
}

}  // namespace
