// mkdata_test.cpp: the installation-data generator run as the build runs it: two runs give the
// same bytes, every model, lighting file and picture loads with the library, every model is a
// closed solid whose facets face outwards, and the can's label is wrapped so that it reads.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "ToolRun.h"
#include "app.h"
#include "appHost.h"
#include "vxmBitmap.h"
#include "vxmLight.h"
#include "vxmMem.h"
#include "vxmModel.h"

namespace fs = std::filesystem;

namespace {

// mkdata lies in the same bin folder as the voxim tool.
std::string mkdataPath() { return (fs::path(QUIRLA_VOXIM_TOOL).parent_path() / "mkdata").string(); }

struct MkdataRun {
  int status = -1;
  std::string output;  // standard output and error
};

MkdataRun runMkdata(const std::string& arguments) {
  MkdataRun run;
  FILE* pipe = popen((mkdataPath() + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

const char* const kLatheModels[] = {"can", "goblet", "vase", "pawn", "torus"};
const char* const kFacetedModels[] = {"gem", "star", "icosa"};
const char* const kLights[] = {"day", "night", "sunset", "neon"};
const struct {
  const char* name;
  int depth;
} kPictures[] = {{"canlabel", 24}, {"sky", 24}, {"tiles", 8}, {"checker", 4}, {"marble", 8}, {"mosaic", 4}};

std::set<std::string> filesBelow(const std::string& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).generic_string());
  return files;
}

class Mkdata : public ::testing::Test {
 protected:
  static std::string first, second;
  static MkdataRun firstRun, secondRun;
  TraceCapture trace;
  long liveAtStart = 0;

  static void SetUpTestSuite() {
    first = testScratchDir("mkdata-first");
    second = testScratchDir("mkdata-second") + "/Quirla";  // a folder that mkdata makes itself
    firstRun = runMkdata(first);
    secondRun = runMkdata(second);
  }
  void SetUp() override {
    ASSERT_EQ(firstRun.status, 0) << firstRun.output;
    ASSERT_EQ(secondRun.status, 0) << secondRun.output;
    appHostSetInstallPath(first.c_str());
    liveAtStart = vxmMemLiveBlocks();
  }
  void TearDown() override { EXPECT_EQ(vxmMemLiveBlocks(), liveAtStart); }

  VxmModel* load(const std::string& name) {
    VxmModel* model = vxmModelLoadVXM(("Models/" + name + ".vxm").c_str());
    EXPECT_NE(model, nullptr) << name << ": " << testing::PrintToString(trace.messages());
    return model;
  }
};
std::string Mkdata::first, Mkdata::second;
MkdataRun Mkdata::firstRun, Mkdata::secondRun;

TEST_F(Mkdata, WritesEveryFileAndTheSameBytesOnEveryRun) {
  std::set<std::string> expected;
  for (const char* m : kLatheModels) expected.insert(std::string("Models/") + m + ".vxm");
  for (const char* m : kFacetedModels) expected.insert(std::string("Models/") + m + ".vxm");
  for (const char* l : kLights) expected.insert(std::string("Lights/") + l + ".vlt");
  for (const auto& p : kPictures) expected.insert(std::string("Textures/") + p.name + ".bmp");
  EXPECT_EQ(filesBelow(first), expected);
  ASSERT_EQ(filesBelow(second), filesBelow(first));
  for (const std::string& file : filesBelow(first)) {
    std::string a, b;
    ASSERT_TRUE(testReadFile(first + "/" + file, &a));
    ASSERT_TRUE(testReadFile(second + "/" + file, &b));
    EXPECT_FALSE(a.empty()) << file;
    EXPECT_TRUE(a == b) << file << " differs between runs";
  }
  EXPECT_EQ(firstRun.output, "") << "a clean run prints nothing";
}

TEST_F(Mkdata, RunningAgainOverAnOldFolderGivesTheSameFiles) {
  std::string before;
  ASSERT_TRUE(testReadFile(first + "/Models/can.vxm", &before));
  ASSERT_TRUE(testWriteFile(first + "/Models/can.vxm", "stale"));
  const MkdataRun again = runMkdata(first);
  EXPECT_EQ(again.status, 0) << again.output;
  std::string after;
  ASSERT_TRUE(testReadFile(first + "/Models/can.vxm", &after));
  EXPECT_TRUE(after == before);
}

TEST_F(Mkdata, ReportsWrongUsageAndFoldersItCannotMake) {
  MkdataRun none = runMkdata("");
  EXPECT_EQ(none.status, 2);
  EXPECT_EQ(none.output, "usage: mkdata OUTDIR\nwrites the installation's Models, Lights and Textures into OUTDIR\n");
  MkdataRun two = runMkdata("a b");
  EXPECT_EQ(two.status, 2);
  const std::string blocked = testScratchDir("mkdata-blocked");
  ASSERT_TRUE(testWriteFile(blocked + "/file", "x"));
  MkdataRun bad = runMkdata(blocked + "/file/Quirla");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.output.rfind("mkdata: cannot create " + blocked + "/file/Quirla/: ", 0), 0u) << bad.output;
}

TEST_F(Mkdata, PicturesLoadAtTheirDepths) {
  for (const auto& p : kPictures) {
    SCOPED_TRACE(p.name);
    const std::string file = std::string("Textures/") + p.name + ".bmp";
    std::string bytes;
    ASSERT_TRUE(testReadFile(first + "/" + file, &bytes));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ((unsigned char)bytes[28], p.depth) << "bits per pixel in the file";
    VxmBitmap* b = vxmBitmapLoadBMP(file.c_str());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->depth, 24);
    // Not one flat colour: count distinct pixels.
    std::set<uint32_t> colours;
    for (int y = 0; y < b->height; ++y)
      for (int x = 0; x < b->width; ++x) {
        const uint8_t* px = b->lineTable[y] + 3 * x;
        colours.insert((uint32_t)px[2] << 16 | px[1] << 8 | px[0]);
      }
    EXPECT_GE(colours.size(), 5u);
    if (std::string(p.name) == "sky") {
      EXPECT_EQ(b->width, 640);
      EXPECT_EQ(b->height, 480);
      // The sky is darker blue at the top (the last row) than at the horizon (row 0).
      EXPECT_LT(b->lineTable[b->height - 1][2 * 3 + 1], b->lineTable[0][2 * 3 + 1]);
    }
    vxmBitmapFree(b);
  }
  EXPECT_TRUE(trace.lines.empty()) << testing::PrintToString(trace.messages());
}

TEST_F(Mkdata, LightsLoadAndFallOnTheSideFacingTheViewer) {
  std::set<std::pair<uint32_t, uint32_t>> distinct;
  for (const char* l : kLights) {
    SCOPED_TRACE(l);
    ASSERT_TRUE(vxmLightLoadVLT((std::string("Lights/") + l + ".vlt").c_str()));
    VxmVector d;
    vxmLightGetDirection(&d);
    EXPECT_GT(d.z, 0.0f) << "light travelling away from the viewer lights the facets facing them";
    const double length = std::sqrt((double)d.x * d.x + (double)d.y * d.y + (double)d.z * d.z);
    EXPECT_GT(length, 0.9);
    EXPECT_LE(length, 2.0) << "beyond 2 every lit facet saturates";
    distinct.insert({vxmLightGetAmbient(), vxmLightGetDirectional()});
  }
  EXPECT_EQ(distinct.size(), 4u);
  std::string day;
  ASSERT_TRUE(testReadFile(first + "/Lights/day.vlt", &day));
  EXPECT_EQ(day.rfind("VOXIM Light Format ", 0), 0u);
  EXPECT_TRUE(trace.lines.empty()) << testing::PrintToString(trace.messages());
}

// Every edge of a closed solid whose facets all face the same way is walked once in each
// direction. Corners are matched by position (the lathe repeats the points on its axis), and
// facets with two corners in one place (the empty bands at poles and creases) have no edges.
::testing::AssertionResult closedAndConsistent(const VxmModel* m) {
  std::map<std::tuple<float, float, float>, int> ids;
  auto id = [&](int v) {
    const VxmVector& p = m->vertices[v];
    auto key = std::make_tuple(p.x + 0.0f, p.y + 0.0f, p.z + 0.0f);  // -0 is 0
    return ids.emplace(key, (int)ids.size()).first->second;
  };
  std::map<std::pair<int, int>, int> edges;
  for (int i = 0; i < m->triCount; ++i) {
    const int a = id(m->tris[i].v[0]), b = id(m->tris[i].v[1]), c = id(m->tris[i].v[2]);
    if (a == b || b == c || a == c) continue;
    ++edges[{a, b}];
    ++edges[{b, c}];
    ++edges[{c, a}];
  }
  for (const auto& [edge, count] : edges) {
    auto back = edges.find({edge.second, edge.first});
    const int reverse = back == edges.end() ? 0 : back->second;
    if (reverse != count)
      return ::testing::AssertionFailure() << "edge " << edge.first << "-" << edge.second << " walked " << count
                                           << " times forward and " << reverse << " back";
  }
  return ::testing::AssertionSuccess();
}

TEST_F(Mkdata, EveryModelIsAClosedSolidFacingOutwards) {
  std::vector<std::string> names(std::begin(kLatheModels), std::end(kLatheModels));
  names.insert(names.end(), std::begin(kFacetedModels), std::end(kFacetedModels));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    VxmModel* m = load(name);
    ASSERT_NE(m, nullptr);
    VxmVector centre;
    ASSERT_TRUE(vxmModelGetCentre(m, &centre));
    double outward = 0, volume = 0;
    int grey = 0;
    for (int i = 0; i < m->triCount; ++i) {
      const VxmTri& t = m->tris[i];
      const VxmVector &p0 = m->vertices[t.v[0]], &p1 = m->vertices[t.v[1]], &p2 = m->vertices[t.v[2]];
      const double cx = (p0.x + p1.x + p2.x) / 3.0 - centre.x, cy = (p0.y + p1.y + p2.y) / 3.0 - centre.y,
                   cz = (p0.z + p1.z + p2.z) / 3.0 - centre.z;
      outward += t.normal.x * cx + t.normal.y * cy + t.normal.z * cz;
      // Signed volume of the tetrahedron with the origin: positive sums mean outward facets.
      volume += (p0.x * ((double)p1.y * p2.z - (double)p1.z * p2.y) - p0.y * ((double)p1.x * p2.z - (double)p1.z * p2.x) +
                 p0.z * ((double)p1.x * p2.y - (double)p1.y * p2.x)) / 6.0;
      if (t.colour == VXM_DEFAULT_COLOUR) ++grey;
    }
    EXPECT_GT(outward, 0.0);
    EXPECT_GT(volume, 0.0);
    EXPECT_TRUE(closedAndConsistent(m));
    EXPECT_EQ(grey, 0) << "every facet has its own colour";
    vxmModelFree(m);
  }
  EXPECT_TRUE(trace.lines.empty()) << testing::PrintToString(trace.messages());
}

TEST_F(Mkdata, TurnedModelsHaveAveragedNormalsAndFacetedOnesNone) {
  for (const char* name : kLatheModels) {
    std::string text;
    ASSERT_TRUE(testReadFile(first + "/Models/" + name + ".vxm", &text));
    EXPECT_NE(text.find("\r\nVertex normals: Average\r\n"), std::string::npos) << name;
    VxmModel* m = load(name);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(m->averageNormals);
    EXPECT_EQ(m->vertexNormalCount, m->vertexCount);
    vxmModelFree(m);
  }
  for (const char* name : kFacetedModels) {
    std::string text;
    ASSERT_TRUE(testReadFile(first + "/Models/" + name + ".vxm", &text));
    EXPECT_NE(text.find("\r\nVertex normals: No\r\n"), std::string::npos) << name;
  }
}

TEST_F(Mkdata, TextureCoordinatesStayInsideTheirBitmaps) {
  const struct {
    const char* model;
    const char* texture;
  } textured[] = {{"can", "Textures\\canlabel.bmp"}, {"vase", "Textures\\mosaic.bmp"}, {"torus", "Textures\\marble.bmp"}};
  for (const auto& c : textured) {
    SCOPED_TRACE(c.model);
    VxmModel* m = load(c.model);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->textureCount, 1);
    EXPECT_STREQ(m->textures[0].path, c.texture);
    int before = 0, after = 0;
    for (int i = 0; i < m->triCount; ++i) before += m->tris[i].texture != nullptr;
    vxmModelValidateTextureCoords(m);
    for (int i = 0; i < m->triCount; ++i) after += m->tris[i].texture != nullptr;
    EXPECT_GT(before, 0);
    EXPECT_EQ(after, before) << "coordinates outside the bitmap";
    vxmModelFree(m);
  }
}

// On every textured facet of the can that faces the viewer, the picture's columns must grow to
// the right and its rows upwards on the screen: the label reads left to right and upright.
TEST_F(Mkdata, CanLabelReadsLeftToRightAndUpright) {
  VxmModel* m = load("can");
  ASSERT_NE(m, nullptr);
  const VxmBitmap* label = m->textures[0].bitmap;
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->width, 256);
  int front = 0, textured = 0;
  for (int i = 0; i < m->triCount; ++i) {
    const VxmTri& t = m->tris[i];
    if (!t.texture) continue;
    ++textured;
    ASSERT_EQ(t.texture, label);
    if (t.normal.z > -0.3f) continue;  // facing away, or too close to the outline to measure
    // Solve u and v as affine functions of the screen position (model x right, y up).
    const VxmVector &p0 = m->vertices[t.v[0]], &p1 = m->vertices[t.v[1]], &p2 = m->vertices[t.v[2]];
    const double ax = p1.x - p0.x, ay = p1.y - p0.y, bx = p2.x - p0.x, by = p2.y - p0.y;
    const double det = ax * by - ay * bx;
    ASSERT_NE(det, 0.0);
    auto gradient = [&](int k, double* dx, double* dy) {
      const double da = t.uv[2 + k] - t.uv[k], db = t.uv[4 + k] - t.uv[k];
      *dx = (da * by - db * ay) / det;
      *dy = (db * ax - da * bx) / det;
    };
    double dudx, dudy, dvdx, dvdy;
    gradient(0, &dudx, &dudy);
    gradient(1, &dvdx, &dvdy);
    EXPECT_GT(dudx, 0.0) << "facet " << i;
    EXPECT_NEAR(dudy, 0.0, 1e-6) << "facet " << i;
    EXPECT_GT(dvdy, 0.0) << "facet " << i;
    EXPECT_NEAR(dvdx, 0.0, 1e-6) << "facet " << i;
    ++front;
  }
  EXPECT_EQ(textured, 64) << "the label band: two facets for each of 32 segments";
  EXPECT_GE(front, 20);
  // The label fills its band: rows from the bottom to the top and columns all the way round.
  int32_t lowV = INT32_MAX, highV = 0, lowU = INT32_MAX, highU = 0;
  for (int i = 0; i < m->triCount; ++i)
    if (m->tris[i].texture)
      for (int c = 0; c < 3; ++c) {
        lowU = std::min(lowU, m->tris[i].uv[2 * c]);
        highU = std::max(highU, m->tris[i].uv[2 * c]);
        lowV = std::min(lowV, m->tris[i].uv[2 * c + 1]);
        highV = std::max(highV, m->tris[i].uv[2 * c + 1]);
      }
  EXPECT_EQ(lowU, 0);
  EXPECT_EQ(highU, 256 * 4096 - 1);
  EXPECT_EQ(lowV, 0);
  EXPECT_EQ(highV, label->height * 4096 - 1);
  vxmModelFree(m);
}

}  // namespace

// The installation's files as users meet them: `voxim info` reads every model and light, with
// the model's textures found below the installation folder.
TEST_F(Mkdata, VoximInfoReadsEveryBundledFile) {
  int read = 0;
  for (const std::string& file : filesBelow(first)) {
    const bool model = file.size() > 4 && file.compare(file.size() - 4, 4, ".vxm") == 0;
    const bool light = file.size() > 4 && file.compare(file.size() - 4, 4, ".vlt") == 0;
    if (!model && !light) continue;
    SCOPED_TRACE(file);
    const ToolRun run = runTool(first, "info --root " + toolQuote(first) + " " + toolQuote(file));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.compare(0, model ? 10 : 9, model ? "vertices: " : "ambient: "), 0) << run.out;
    if (file == "Models/can.vxm") {
      EXPECT_NE(run.out.find("vertex normals: average\n"), std::string::npos);
      EXPECT_NE(run.out.find("texture: Textures\\canlabel.bmp\n"), std::string::npos);
    }
    ++read;
  }
  EXPECT_EQ(read, (int)(std::size(kLatheModels) + std::size(kFacetedModels) + std::size(kLights)));
}
