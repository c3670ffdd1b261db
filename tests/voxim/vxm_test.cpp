// vxm_test.cpp: VXM model files: the writer's exact text, round trips, the reader's tolerances
// and every failure with its message, hostile files, and the dispatch by file extension.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "vxmModel.h"

namespace {

// The lines of a VXM file, editable one by one before they are joined.
struct VxmText {
  std::string notice = "VOXIM Model Format test";
  std::string version = "Version: 2.10";
  std::string vertices = "Number of vertices: 4";
  std::string facets = "Number of facets: 2";
  std::string textures = "Number of textures: 0";
  std::string textured = "Number of texture triangles: 0";
  std::string normals = "Vertex normals: No";
  std::string highlight = "Highlight: No";
  std::string highlightValue = "Highlight Value: 90";
  std::vector<std::string> textureLines;
  std::vector<std::string> vertexLines = {"0.000000 0.000000 0.000000", "1.000000 0.000000 0.000000",
                                          "1.000000 1.000000 0.000000", "0.000000 1.000000 0.000000"};
  std::vector<std::string> normalLines;  // with their heading, when not empty
  std::vector<std::string> facetLines = {"0 1 2 255 128 0", "0 2 3 1 2 3"};
  std::vector<std::string> texturedLines;

  std::string str() const {
    std::string s;
    auto line = [&s](const std::string& l) { s += l + "\n"; };
    for (const std::string* l : {&notice, &version, &vertices, &facets, &textures, &textured, &normals, &highlight,
                                 &highlightValue})
      line(*l);
    line("Texture List:");
    for (const auto& l : textureLines) line(l);
    line("Vertex list:");
    for (const auto& l : vertexLines) line(l);
    if (!normalLines.empty()) {
      line("Vertex normal list:");
      for (const auto& l : normalLines) line(l);
    }
    line("Tri list (v0 v1 v2 R G B):");
    for (const auto& l : facetLines) line(l);
    line("Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):");
    for (const auto& l : texturedLines) line(l);
    return s;
  }
};

class VxmFileTest : public ModelFolderTest {
 protected:
  // Writes the text (with CR LF line ends, as text files have on disk) and loads it by name.
  VxmModel* load(const std::string& text, const std::string& name = "m.vxm") {
    write(name, testCrlf(text));
    return vxmModelLoadVXM(name.c_str());
  }
  // The load fails with exactly these trace messages and releases everything.
  void expectLoadFails(const std::string& text, const std::vector<std::string>& messages) {
    trace.clear();
    VxmModel* model = load(text);
    EXPECT_EQ(model, nullptr);
    vxmModelFree(model);
    EXPECT_EQ(trace.messages(), messages);
    expectNoLeak();
  }
  std::string readFailed() const { return "Failed to read from file: " + path("m.vxm"); }

  // Two textures in the scratch folder.
  void writeTextures() {
    write("a.bmp", testBmp24(4, 4, 0xFF0000));
    write("b.bmp", testBmp24(8, 2, 0x0000FF));
  }
};

// A model with two slots, textured facets, highlight and exact six-decimal vertices.
VxmModel* makeTexturedModel() {
  VxmModel* model = vxmModelCreate(4, 0, 3);
  if (!model) return nullptr;
  const VxmVector v[4] = {{0, 0, 0}, {1.5f, -2.25f, 0.125f}, {1, 1, 0}, {-3, 1, 100000}};
  std::memcpy(model->vertices, v, sizeof v);
  const int faces[3][3] = {{0, 1, 2}, {0, 2, 3}, {1, 2, 3}};
  for (int i = 0; i < 3; ++i) std::memcpy(model->tris[i].v, faces[i], sizeof faces[i]);
  model->tris[0].colour = 0xFF8000;
  model->tris[1].colour = 0x010203;
  model->highlight = true;
  model->highlightValue = 42;
  if (!vxmModelAddTexture(model, "a.bmp") || !vxmModelAddTexture(model, "b.bmp")) {
    vxmModelFree(model);
    return nullptr;
  }
  model->tris[0].texture = model->textures[1].bitmap;
  const int32_t uv0[6] = {0, 0, 7 * 4096, 0, 2048, 4096 + 1};
  std::memcpy(model->tris[0].uv, uv0, sizeof uv0);
  model->tris[2].texture = model->textures[0].bitmap;
  const int32_t uv2[6] = {2 * 4096, 4096, 3 * 4096, 2 * 4096, 1, 3 * 4096};  // u0 != v0
  std::memcpy(model->tris[2].uv, uv2, sizeof uv2);
  vxmModelCalcSurfaceNormals(model);
  return model;
}

const char* kWrittenText =
    "VOXIM Model Format - Quirla model file\r\n"
    "Version: 2.10\r\n"
    "Number of vertices: 4\r\n"
    "Number of facets: 3\r\n"
    "Number of textures: 2\r\n"
    "Number of texture triangles: 2\r\n"
    "Vertex normals: No\r\n"
    "Highlight: Yes\r\n"
    "Highlight Value: 42\r\n"
    "Texture List:\r\n"
    "a.bmp\r\n"
    "b.bmp\r\n"
    "Vertex list:\r\n"
    "0.000000 0.000000 0.000000\r\n"
    "1.500000 -2.250000 0.125000\r\n"
    "1.000000 1.000000 0.000000\r\n"
    "-3.000000 1.000000 100000.000000\r\n"
    "Tri list (v0 v1 v2 R G B):\r\n"
    "0 1 2 255 128 0\r\n"
    "0 2 3 1 2 3\r\n"
    "1 2 3 127 127 127\r\n"
    "Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\r\n"
    "0 1 0.000000 0.000000 7.000000 0.000000 0.500000 1.000244\r\n"
    "2 0 2.000000 1.000000 3.000000 2.000000 0.000244 3.000000\r\n";

}  // namespace

// --- Writing and round trips -------------------------------------------------------------------

TEST_F(VxmFileTest, WriterProducesTheDocumentedText) {
  writeTextures();
  VxmModel* model = makeTexturedModel();
  ASSERT_NE(model, nullptr);
  const std::string out = path("out.vxm");
  ASSERT_TRUE(vxmModelSaveVXM(model, out.c_str()));
  EXPECT_EQ(read("out.vxm"), kWrittenText);
  EXPECT_EQ(model->fileName, out);
  EXPECT_TRUE(trace.lines.empty());
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmFileTest, SavedModelsReadBack) {
  writeTextures();
  VxmModel* model = makeTexturedModel();
  ASSERT_NE(model, nullptr);
  ASSERT_TRUE(vxmModelSaveVXM(model, path("round.vxm").c_str()));
  VxmModel* back = vxmModelLoadVXM("round.vxm");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->fileName, path("round.vxm"));
  EXPECT_EQ(back->vertexCount, 4);
  EXPECT_EQ(back->triCount, 3);
  EXPECT_EQ(std::memcmp(back->vertices, model->vertices, 4 * sizeof(VxmVector)), 0);
  ASSERT_EQ(back->textureCount, 2);
  EXPECT_STREQ(back->textures[0].path, "a.bmp");
  EXPECT_STREQ(back->textures[1].path, "b.bmp");
  EXPECT_STREQ(back->textures[1].name, "b.bmp");
  EXPECT_EQ(back->textures[1].bitmap->width, 8);
  EXPECT_TRUE(back->highlight);
  EXPECT_EQ(back->highlightValue, 42);
  EXPECT_EQ(back->vertexNormalCount, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(std::memcmp(back->tris[i].v, model->tris[i].v, sizeof back->tris[i].v), 0) << i;
    EXPECT_EQ(back->tris[i].colour, model->tris[i].colour) << i;
    EXPECT_EQ(back->tris[i].normal.z, model->tris[i].normal.z) << i;
    EXPECT_EQ(back->tris[i].n[0], -1);
  }
  EXPECT_EQ(back->tris[0].texture, back->textures[1].bitmap);
  EXPECT_EQ(back->tris[1].texture, nullptr);
  EXPECT_EQ(back->tris[2].texture, back->textures[0].bitmap);
  // Whole and half texels survive; 1/4096 of a texel is written as 0.000244 and comes back as 0.
  const int32_t uv0[6] = {0, 0, 7 * 4096, 0, 2048, 4096};
  const int32_t uv2[6] = {2 * 4096, 4096, 3 * 4096, 2 * 4096, 0, 3 * 4096};
  EXPECT_EQ(std::memcmp(back->tris[0].uv, uv0, sizeof uv0), 0);
  EXPECT_EQ(std::memcmp(back->tris[2].uv, uv2, sizeof uv2), 0);
  EXPECT_TRUE(trace.lines.empty());
  // A second save of the loaded model gives the same text but for the lost 1/4096.
  ASSERT_TRUE(vxmModelSaveVXM(back, path("again.vxm").c_str()));
  std::string again = read("again.vxm"), first = read("round.vxm");
  EXPECT_NE(again, first);
  size_t at = first.find("1.000244");
  ASSERT_NE(at, std::string::npos);
  first.replace(at, 8, "1.000000");
  at = first.find("0.000244");
  ASSERT_NE(at, std::string::npos);
  first.replace(at, 8, "0.000000");
  EXPECT_EQ(again, first);
  vxmModelFree(back);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmFileTest, NormalModesRoundTrip) {
  // Average: recorded as such, recomputed on reading.
  VxmModel* model = vxmModelCreate(3, 0, 1);
  const VxmVector v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  std::memcpy(model->vertices, v, sizeof v);
  model->tris[0].v[1] = 1;
  model->tris[0].v[2] = 2;
  vxmModelCalcSurfaceNormals(model);
  ASSERT_TRUE(vxmModelCalcAverageNormals(model));
  ASSERT_TRUE(vxmModelSaveVXM(model, path("avg.vxm").c_str()));
  EXPECT_NE(read("avg.vxm").find("\r\nVertex normals: Average\r\n"), std::string::npos);
  VxmModel* back = vxmModelLoadVXM("avg.vxm");
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->averageNormals);
  ASSERT_EQ(back->vertexNormalCount, 3);
  EXPECT_EQ(back->vertexNormals[2].z, 1.0f);
  EXPECT_EQ(back->tris[0].n[2], 2);
  vxmModelFree(back);
  // Explicit normals: recorded as "Yes" with their own section, so they read back.
  model->averageNormals = false;
  model->vertexNormals[1] = {0.6f, 0.0f, 0.8f};
  ASSERT_TRUE(vxmModelSaveVXM(model, path("yes.vxm").c_str()));
  const std::string text = read("yes.vxm");
  EXPECT_NE(text.find("\r\nVertex normals: Yes\r\n"), std::string::npos);
  EXPECT_NE(text.find("Vertex list:\r\n0.000000 0.000000 0.000000\r\n1.000000 0.000000 0.000000\r\n"
                      "0.000000 1.000000 0.000000\r\nVertex normal list:\r\n0.000000 0.000000 1.000000\r\n"
                      "0.600000 0.000000 0.800000\r\n0.000000 0.000000 1.000000\r\nTri list"),
            std::string::npos)
      << text;
  back = vxmModelLoadVXM("yes.vxm");
  ASSERT_NE(back, nullptr);
  EXPECT_FALSE(back->averageNormals);
  ASSERT_EQ(back->vertexNormalCount, 3);
  EXPECT_EQ(back->vertexNormals[1].x, 0.6f);
  EXPECT_EQ(back->vertexNormals[1].z, 0.8f);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(back->tris[0].n[k], back->tris[0].v[k]);
  vxmModelFree(back);
  vxmModelFree(model);
  EXPECT_TRUE(trace.lines.empty());
  expectNoLeak();
}

TEST_F(VxmFileTest, WriterCountsOnlyTexturedFacetsAndNamesTheirSlot) {
  writeTextures();
  VxmModel* model = vxmModelCreate(3, 0, 9);
  ASSERT_TRUE(vxmModelAddTexture(model, "a.bmp"));
  ASSERT_TRUE(vxmModelAddTexture(model, "b.bmp"));
  model->tris[7].texture = model->textures[1].bitmap;
  ASSERT_TRUE(vxmModelSaveVXM(model, path("one.vxm").c_str()));
  const std::string text = read("one.vxm");
  EXPECT_NE(text.find("Number of texture triangles: 1\r\n"), std::string::npos);
  EXPECT_NE(text.find("u2 v2):\r\n7 1 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000\r\n"), std::string::npos);
  // A facet pointing at no slot's bitmap is written with slot 0 and reported.
  VxmBitmap* stray = vxmBitmapCreate(2, 2, 24);
  model->tris[7].texture = stray;
  EXPECT_TRUE(vxmModelSaveVXM(model, path("stray.vxm").c_str()));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Could not find texture index"});
  EXPECT_NE(read("stray.vxm").find("\r\n7 0 0.000000"), std::string::npos);
  model->tris[7].texture = nullptr;
  vxmBitmapFree(stray);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmFileTest, WriterFailures) {
  VxmModel* model = vxmModelCreate(1, 0, 1);
  EXPECT_FALSE(vxmModelSaveVXM(nullptr, path("x.vxm").c_str()));
  EXPECT_FALSE(vxmModelSaveVXM(model, nullptr));
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
  trace.clear();
  const std::string bad = path("no-such-folder") + "/x.vxm";
  EXPECT_FALSE(vxmModelSaveVXM(model, bad.c_str()));
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to open file: " + bad});
  EXPECT_STREQ(model->fileName, "");
  // The writer takes the name exactly as given: no lookup below the installation folder.
  trace.clear();
  std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  EXPECT_TRUE(vxmModelSaveVXM(model, "plain.vxm"));
  std::filesystem::current_path(cwd);
  EXPECT_STREQ(model->fileName, "plain.vxm");
  EXPECT_FALSE(read("plain.vxm").empty());
  vxmModelFree(model);
  expectNoLeak();
}

// --- Reading: what the reader accepts ------------------------------------------------------------

TEST_F(VxmFileTest, ReaderAcceptsTheDocumentedForms) {
  VxmText t;
  t.notice = "";  // any first line, even an empty one
  t.facetLines = {"0 1 2 255 128 0", "0 2 3 300 -1 256"};
  VxmModel* model = load(t.str());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->tris[0].colour, 0xFF8000u);
  EXPECT_EQ(model->tris[1].colour, 0x2CFF00u);  // 300 -> 44, -1 -> 255, 256 -> 0
  EXPECT_EQ(model->tris[1].v[2], 3);
  EXPECT_EQ(model->fileName, path("m.vxm"));
  EXPECT_EQ(model->vertices[2].y, 1.0f);
  EXPECT_EQ(model->tris[0].normal.z, 1.0f);
  EXPECT_FALSE(model->highlight);
  EXPECT_EQ(model->highlightValue, 90);
  vxmModelFree(model);

  // Numbers in any scanf form, spread over lines, with tabs; labels followed by extra blanks;
  // lone LF line ends; words compared without regard to case.
  const std::string loose =
      "VOXIM Model Format\nVersion:   2.10\nNumber of vertices:\n3\nNumber of facets: 1\n"
      "Number of textures: 0\nNumber of texture triangles: 0\nVertex normals: AVERAGE\n"
      "Highlight: yEs\nHighlight Value: -7\nTexture List:\nVertex list:\n"
      "0 0 0\n1e0\t0.0 +0\n0.0\n2.5E-1\n0\nTri list (v0 v1 v2 R G B):\n0 1\n2 9 8 7\n"
      "Textured Tri List (TRI-INDEX TEX-INDEX u0 v0 u1 v1 u2 v2):\n";
  write("loose.vxm", loose);
  model = vxmModelLoadVXM("loose.vxm");
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->vertexCount, 3);
  EXPECT_EQ(model->vertices[1].x, 1.0f);
  EXPECT_EQ(model->vertices[2].y, 0.25f);
  EXPECT_EQ(model->tris[0].colour, 0x090807u);
  EXPECT_TRUE(model->averageNormals);
  EXPECT_EQ(model->vertexNormalCount, 3);
  EXPECT_TRUE(model->highlight);
  EXPECT_EQ(model->highlightValue, -7);
  vxmModelFree(model);
  EXPECT_TRUE(trace.lines.empty());

  // Any word other than yes or average means no vertex normals; "yes" reads a normal section.
  t = VxmText();
  t.normals = "Vertex normals: Maybe";
  t.highlight = "Highlight: True";
  model = load(t.str());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->vertexNormalCount, 0);
  EXPECT_FALSE(model->averageNormals);
  EXPECT_FALSE(model->highlight);
  vxmModelFree(model);
  t.normals = "Vertex normals: YES";
  t.normalLines = {"0 0 1", "0 0 1", "0 1 0", "1 0 0"};
  model = load(t.str());
  ASSERT_NE(model, nullptr);
  ASSERT_EQ(model->vertexNormalCount, 4);
  EXPECT_EQ(model->vertexNormals[3].x, 1.0f);
  EXPECT_EQ(model->tris[1].n[1], 2);
  EXPECT_FALSE(model->averageNormals);
  vxmModelFree(model);
  // A file may end right after the facets when it has no textured facets.
  std::string cut = VxmText().str();
  cut.resize(cut.find("Textured Tri List"));
  write("cut.vxm", cut);
  model = vxmModelLoadVXM("cut.vxm");
  EXPECT_NE(model, nullptr);
  vxmModelFree(model);
  EXPECT_TRUE(trace.lines.empty());
  expectNoLeak();
}

TEST_F(VxmFileTest, ReaderFindsFilesBelowTheInstallationFolderFirst) {
  std::filesystem::create_directories(path("Models"));
  write("Models/box.vxm", testCrlf(VxmText().str()));
  VxmModel* model = vxmModelLoadVXM("Models\\box.vxm");
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->fileName, dir + (dir.find('\\') != std::string::npos ? "\\" : "/") + "Models\\box.vxm");
  vxmModelFree(model);
  // A full path loads as it is.
  model = vxmModelLoadVXM(path("Models/box.vxm").c_str());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->fileName, path("Models/box.vxm"));
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmFileTest, TexturedFacetsTakeTheirSlotsBitmap) {
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 2";
  t.textureLines = {"a.bmp", "b.bmp"};
  t.textured = "Number of texture triangles: 3";
  t.texturedLines = {"0 1 0 0 7.99 1.5 0.000244 1.99", "1 5 0 0 0 0 0 0", "1 0 3 3 3 3 3 3"};
  VxmModel* model = load(t.str());
  ASSERT_NE(model, nullptr);
  // The line naming slot 5 of 2 is reported and skipped; the rest loads.
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Invlid texture ID while loading VML"});
  EXPECT_EQ(model->tris[0].texture, model->textures[1].bitmap);
  const int32_t uv[6] = {0, 0, 32727, 6144, 0, 8151};  // x 4096, truncated toward zero
  EXPECT_EQ(std::memcmp(model->tris[0].uv, uv, sizeof uv), 0);
  EXPECT_EQ(model->tris[1].texture, model->textures[0].bitmap);
  EXPECT_EQ(model->tris[1].uv[5], 3 * 4096);
  EXPECT_EQ(model->tris[1].colour, 0x010203u);
  vxmModelFree(model);
  expectNoLeak();
}

// Coordinates outside their bitmap never reach the fills: such facets load untextured and grey.
TEST_F(VxmFileTest, CoordinatesOutsideTheBitmapAreDroppedOnReading) {
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 1";
  t.textureLines = {"a.bmp"};
  t.textured = "Number of texture triangles: 2";
  t.texturedLines = {"0 0 4 0 0 0 0 0", "1 0 1e30 -1e30 0 0 0 0"};
  VxmModel* model = load(t.str());
  ASSERT_NE(model, nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(model->tris[i].texture, nullptr) << i;
    EXPECT_EQ(model->tris[i].colour, 0x7F7F7Fu) << i;
  }
  vxmModelFree(model);
  expectNoLeak();
}

#if !defined(_WIN32)
// A missing bitmap answered Yes: the slot goes, the last slot fills its place, and the facets
// that named the missing bitmap stay untextured with their colours.
TEST_F(VxmFileTest, MissingTextureAnsweredYesDropsTheSlot) {
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 3";
  t.textureLines = {"gone.bmp", "a.bmp", "b.bmp"};
  t.textured = "Number of texture triangles: 2";
  t.texturedLines = {"0 0 1 1 1 1 1 1", "1 2 1 1 1 1 1 1"};
  appHostSetAnswer(true);
  VxmModel* model = load(t.str());
  ASSERT_NE(model, nullptr);
  ASSERT_NE(appHostLastBox(), nullptr);
  EXPECT_STREQ(appHostLastBox()->title, "Application");
  EXPECT_EQ(appHostLastBox()->flags, 0x24u);
  EXPECT_STREQ(appHostLastBox()->text,
               "Failed to load texture 'gone.bmp' while opening model.\n"
               "Do you wish to remove this texture from the model?");
  ASSERT_EQ(model->textureCount, 2);
  EXPECT_STREQ(model->textures[0].path, "b.bmp");
  EXPECT_STREQ(model->textures[0].name, "b.bmp");
  EXPECT_STREQ(model->textures[1].path, "a.bmp");
  EXPECT_EQ(model->tris[0].texture, nullptr);
  EXPECT_EQ(model->tris[0].colour, 0xFF8000u);
  EXPECT_EQ(model->tris[1].texture, model->textures[0].bitmap);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmFileTest, MissingTextureAnsweredNoEndsTheLoad) {
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 2";
  t.textureLines = {"a.bmp", "Textures\\gone.bmp"};
  appHostSetAnswer(false);
  trace.clear();
  EXPECT_EQ(load(t.str()), nullptr);
  EXPECT_EQ(appHostBoxCount(), 1);
  // Only the bitmap reader's own report: the model reader adds nothing.
  for (const std::string& line : trace.lines) EXPECT_EQ(line.find("voxim/Model.cpp"), std::string::npos) << line;
  expectNoLeak();
}
#endif

// With message boxes off (the screensaver), a missing bitmap means no model.
TEST_F(VxmFileTest, MissingTextureWithMessagesOffEndsTheLoad) {
  VxmText t;
  t.textures = "Number of textures: 1";
  t.textureLines = {"gone.bmp"};
  appEnableMessages(false);
  EXPECT_EQ(load(t.str()), nullptr);
#if !defined(_WIN32)
  EXPECT_EQ(appHostBoxCount(), 0);
#endif
  expectNoLeak();
}

// --- Reading: failures -------------------------------------------------------------------------

TEST_F(VxmFileTest, ReaderReportsMissingAndUnopenableFiles) {
  EXPECT_EQ(vxmModelLoadVXM(nullptr), nullptr);
  EXPECT_EQ(vxmModelLoad(nullptr), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>(2, "Invalid Parameters"));
  trace.clear();
  EXPECT_EQ(vxmModelLoadVXM("missing.vxm"), nullptr);
  EXPECT_EQ(trace.messages(), std::vector<std::string>{"Failed to validate file: missing.vxm"});
  // A folder is found but is no model file.
  std::filesystem::create_directories(path("folder.vxm"));
  trace.clear();
  EXPECT_EQ(vxmModelLoadVXM("folder.vxm"), nullptr);
  ASSERT_EQ(trace.messages().size(), 1u);
  const std::string m = trace.messages()[0];
  EXPECT_TRUE(m == "Failed to open file: " + path("folder.vxm") || m == "Failed to read from file: " + path("folder.vxm"))
      << m;
  expectNoLeak();
}

TEST_F(VxmFileTest, VersionMustBeExactly2_10) {
  VxmText t;
  t.version = "Version: 2.1";
  expectLoadFails(t.str(), {"vxmModelLoadVXM() : Unknown VXM file version: " + path("m.vxm")});
  t.version = "Version: 2.100";
  expectLoadFails(t.str(), {"vxmModelLoadVXM() : Unknown VXM file version: " + path("m.vxm")});
  t.version = "version: 2.10";
  expectLoadFails(t.str(), {readFailed()});
  t.version = "Version 2.10";
  expectLoadFails(t.str(), {readFailed()});
  expectLoadFails("", {readFailed()});
  expectLoadFails("VOXIM Model Format\n", {readFailed()});
}

TEST_F(VxmFileTest, EveryLabelMustMatch) {
  const std::vector<std::string VxmText::*> labels = {&VxmText::vertices, &VxmText::facets,    &VxmText::textures,
                                                      &VxmText::textured, &VxmText::normals,   &VxmText::highlight,
                                                      &VxmText::highlightValue};
  for (auto label : labels) {
    VxmText t;
    std::string& line = t.*label;
    line[0] = (char)std::tolower(line[0]);  // "number of ...", "vertex normals", "highlight"
    expectLoadFails(t.str(), {readFailed()});
    VxmText u;
    (u.*label).resize((u.*label).find(':'));  // the label without its colon and value
    expectLoadFails(u.str(), {readFailed()});
  }
  VxmText t;
  t.vertices = "Number of vertices: many";
  expectLoadFails(t.str(), {readFailed()});
}

TEST_F(VxmFileTest, CountsOutsideTheirRangesFail) {
  VxmText t;
  t.textures = "Number of textures: 13";
  expectLoadFails(t.str(), {readFailed()});
  t = VxmText();
  t.vertices = "Number of vertices: 0";
  expectLoadFails(t.str(), {"Invalid Parameters", "Failed to create model"});
  t = VxmText();
  t.facets = "Number of facets: -3";
  expectLoadFails(t.str(), {"Invalid Parameters", "Failed to create model"});
  // Negative texture and textured-facet counts read no lines.
  t = VxmText();
  t.textures = "Number of textures: -2";
  t.textured = "Number of texture triangles: -1";
  VxmModel* model = load(t.str());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->textureCount, 0);
  vxmModelFree(model);
  expectNoLeak();
}

TEST_F(VxmFileTest, ShortOrMalformedDataLinesFail) {
  VxmText t;
  t.vertexLines[3] = "0.0 1.0";
  expectLoadFails(t.str(), {readFailed()});
  t = VxmText();
  t.vertexLines[1] = "1.0 x 0.0";
  expectLoadFails(t.str(), {readFailed()});
  t = VxmText();
  t.facetLines[1] = "0 2 3 1 2";
  expectLoadFails(t.str(), {readFailed()});
  t = VxmText();
  t.normals = "Vertex normals: Yes";
  t.normalLines = {"0 0 1", "0 0 1", "0 0 1"};  // one short
  expectLoadFails(t.str(), {readFailed()});
  writeTextures();
  t = VxmText();
  t.textures = "Number of textures: 1";
  t.textureLines = {"a.bmp"};
  t.textured = "Number of texture triangles: 2";
  t.texturedLines = {"0 0 1 1 1 1 1 1", "1 0 1 1 1 1 1"};
  expectLoadFails(t.str(), {readFailed()});
  t.textured = "Number of texture triangles: 3";
  t.texturedLines = {"0 0 1 1 1 1 1 1", "1 0 1 1 1 1 1 1"};  // one line missing
  expectLoadFails(t.str(), {readFailed()});
}

// Facets must name vertices of the table, and textured-facet lines facets of the table.
TEST_F(VxmFileTest, IndicesOutsideTheTablesAreRejected) {
  for (const char* facet : {"0 2 4 1 1 1", "-1 0 1 1 1 1", "0 2147483647 1 1 1 1"}) {
    VxmText t;
    t.facetLines[1] = facet;
    expectLoadFails(t.str(), {readFailed()});
  }
  writeTextures();
  for (const char* line : {"2 0 0 0 0 0 0 0", "-1 0 0 0 0 0 0 0"}) {
    VxmText t;
    t.textures = "Number of textures: 1";
    t.textureLines = {"a.bmp"};
    t.textured = "Number of texture triangles: 1";
    t.texturedLines = {line};
    expectLoadFails(t.str(), {readFailed()});
  }
}

TEST_F(VxmFileTest, NumbersThatAreNotFiniteAreRejected) {
  for (const char* v : {"nan 0 0", "0 inf 0", "0 0 1e39", "0 0 -1e300"}) {
    VxmText t;
    t.vertexLines[0] = v;
    expectLoadFails(t.str(), {readFailed()});
  }
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 1";
  t.textureLines = {"a.bmp"};
  t.textured = "Number of texture triangles: 1";
  t.texturedLines = {"0 0 0 0 0 0 0 1e40"};
  expectLoadFails(t.str(), {readFailed()});
}

// Counts that the file cannot hold fail before anything is allocated.
TEST_F(VxmFileTest, CountsBeyondTheFileSizeFailBeforeAllocating) {
  for (const char* count : {"Number of vertices: 2000000000", "Number of vertices: 100000",
                            "Number of facets: 1000000"}) {
    VxmText t;
    (std::string(count).find("vertices") != std::string::npos ? t.vertices : t.facets) = count;
    long allocations = vxmMemAllocations();
    expectLoadFails(t.str(), {readFailed()});
    EXPECT_EQ(vxmMemAllocations(), allocations) << count;
#if !defined(_WIN32)
    EXPECT_EQ(appHostBoxCount(), 0);
#endif
  }
  VxmText t;
  t.textured = "Number of texture triangles: 500";
  expectLoadFails(t.str(), {readFailed()});
  // Exactly as many vertex lines as the count: enough bytes, loads.
  t = VxmText();
  t.vertices = "Number of vertices: 40";
  t.vertexLines.assign(40, "0 0 0");
  VxmModel* model = load(t.str());
  EXPECT_NE(model, nullptr);
  vxmModelFree(model);
  expectNoLeak();
}

// Every prefix of a valid file either fails with a report or (once all numbers are in) loads;
// nothing leaks and nothing asks the user.
TEST_F(VxmFileTest, EveryTruncationFailsCleanly) {
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 2";
  t.textureLines = {"a.bmp", "b.bmp"};
  t.textured = "Number of texture triangles: 1";
  t.texturedLines = {"1 1 0.5 0.5 1.5 0.5 1.5 1.5"};
  t.normals = "Vertex normals: Yes";
  t.normalLines = {"0 0 1", "0 0 1", "0 0 1", "0 0 1"};
  appEnableMessages(false);  // a cut texture line names a missing bitmap: no question
  const std::string full = testCrlf(t.str());
  const size_t lastNumber = full.rfind("1.5") + 1;  // from here on the last number parses
  for (size_t n = 0; n < full.size(); ++n) {
    trace.clear();
    write("m.vxm", full.substr(0, n));
    VxmModel* model = vxmModelLoadVXM("m.vxm");
    if (model) {
      EXPECT_GE(n, lastNumber) << n;
      vxmModelFree(model);
    } else {
      EXPECT_FALSE(trace.lines.empty()) << n;
    }
    ASSERT_EQ(vxmMemLiveBlocks(), liveAtStart) << n;
  }
}

// Lines longer than 255 characters are taken as two lines: the load misreads, but safely.
TEST_F(VxmFileTest, OverlongLinesAreHandledSafely) {
  writeTextures();
  VxmText t;
  t.notice = "VOXIM Model Format " + std::string(400, 'n');
  expectLoadFails(t.str(), {readFailed()});
  t = VxmText();
  t.textures = "Number of textures: 1";
  t.textureLines = {std::string(300, 'x') + ".bmp"};
  appEnableMessages(false);
  trace.clear();
  EXPECT_EQ(load(t.str()), nullptr);
  expectNoLeak();
  t = VxmText();
  t.version = "Version: " + std::string(1000, '2');
  expectLoadFails(t.str(), {"vxmModelLoadVXM() : Unknown VXM file version: " + path("m.vxm")});
}

// Each allocation of a load in turn fails: the load fails with "Out of Memory!" in its report
// and releases everything, until it has allocations enough to succeed.
TEST_F(VxmFileTest, EveryFailedAllocationIsReportedAndReleased) {
  writeTextures();
  VxmText t;
  t.textures = "Number of textures: 2";
  t.textureLines = {"a.bmp", "b.bmp"};
  t.normals = "Vertex normals: Average";
  const std::string text = t.str();
  write("m.vxm", testCrlf(text));
  bool loaded = false;
  bool sawAverageFailure = false, sawCreateFailure = false;
  for (long n = 0; n < 100 && !loaded; ++n) {
    trace.clear();
    vxmMemFailAfter(n);
    VxmModel* model = vxmModelLoadVXM("m.vxm");
    vxmMemFailAfter(-1);
    if (model) {
      loaded = true;
      EXPECT_EQ(model->textureCount, 2);
      vxmModelFree(model);
    } else {
      std::vector<std::string> m = trace.messages();
      ASSERT_FALSE(m.empty()) << n;
      EXPECT_NE(std::find(m.begin(), m.end(), "Out of Memory!"), m.end()) << n;
      if (m.back() == "Failed to calculate average vertex normals") sawAverageFailure = true;
      if (m.back() == "Failed to create model") sawCreateFailure = true;
    }
    ASSERT_EQ(vxmMemLiveBlocks(), liveAtStart) << n;
  }
  EXPECT_TRUE(loaded);
  EXPECT_TRUE(sawAverageFailure);
  EXPECT_TRUE(sawCreateFailure);
}

// --- Dispatch ----------------------------------------------------------------------------------

TEST_F(VxmFileTest, LoadDispatchesByExtension) {
  struct Case {
    const char* name;
    const char* module;
  };
  const Case cases[] = {{"x.3ds", "voxim/3dsrdr.cpp("},       {"x.3DS", "voxim/3dsrdr.cpp("},
                        {"x.3Ds", "voxim/3dsrdr.cpp("},       {"my.model.v2.3ds", "voxim/3dsrdr.cpp("},
                        {"x.vxm", "voxim/Model.cpp("},        {"x.VXM", "voxim/Model.cpp("},
                        {"noextension", "voxim/Model.cpp("},  {"x.txt", "voxim/Model.cpp("},
                        {"dir.3ds\\model", "voxim/Model.cpp("}, {"x.3ds.vxm", "voxim/Model.cpp("},
                        {"x.3d", "voxim/Model.cpp("}};
  for (const Case& c : cases) {
    trace.clear();
    EXPECT_EQ(vxmModelLoad(c.name), nullptr);
    ASSERT_EQ(trace.lines.size(), 1u) << c.name;
    EXPECT_EQ(trace.lines[0].rfind(c.module, 0), 0u) << c.name << ": " << trace.lines[0];
    EXPECT_EQ(trace.messages()[0], std::string("Failed to validate file: ") + c.name);
  }
  // A real model through the dispatch, whatever its extension.
  write("model.dat", testCrlf(VxmText().str()));
  VxmModel* model = vxmModelLoad("model.dat");
  EXPECT_NE(model, nullptr);
  vxmModelFree(model);
  expectNoLeak();
}
