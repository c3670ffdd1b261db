// threeds_lib3ds_test.cpp: our 3DS reader against lib3ds on real files: Debian's 3DS test
// models and larger meshes that the assimp tool exports to 3DS. Vertex and face totals, every
// face's corners and every face's colour must agree.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "app.h"
#include "appHost.h"
#include "vxm3ds.h"
#include "vxmModel.h"

#if defined(QUIRLA_HAVE_LIB3DS)
#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>

namespace {

namespace fs = std::filesystem;

const char* const kModels = "/usr/share/assimp/models";

// The package's 3DS files (the reader is meant for 3D Studio files whatever their name).
std::vector<std::string> packageFiles() {
  std::vector<std::string> files;
  const fs::path dir = fs::path(kModels) / "3DS";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = char(std::tolower((unsigned char)c));
    if (ext == ".3ds" || entry.path().filename() == "testFormatDetection") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Meshes of other formats in the same package, exported to 3DS with the assimp tool.
std::vector<std::string> exportedFiles(const std::string& dir) {
  const char* sources[] = {"PLY/Wuson.ply", "COB/dwarf.cob", "OBJ/spider.obj", "X/Testwuson.X",
                           "Collada/duck.dae", "AC/Wuson.ac"};
  std::vector<std::string> files;
  for (const char* source : sources) {
    fs::path in = fs::path(kModels) / source;
    if (!fs::exists(in)) continue;
    std::string out = testJoin(dir, fs::path(source).stem().string() + "-" + fs::path(source).extension().string().substr(1) + ".3ds");
    std::string command = "assimp export '" + in.string() + "' '" + out + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0 && fs::exists(out) && fs::file_size(out) > 0) files.push_back(out);
  }
  return files;
}

// --- What the file says about each material's first colour -----------------------------------
// lib3ds gives a material's ambient, diffuse and specular colours as floats; our reader takes the
// first colour chunk after the name. This small scan finds which one that is and whether it was
// stored as floats or bytes, so the expected colour can be formed from lib3ds's values.

struct FirstColour {
  unsigned slot = 0;     // 0xA010, 0xA020 or 0xA030; 0 when the material has none
  unsigned format = 0;   // 0x10 floats, 0x11 bytes
};

struct Bytes {
  std::string data;
  unsigned u16(size_t at) const { return (unsigned char)data[at] | (unsigned char)data[at + 1] << 8; }
  uint32_t u32(size_t at) const { return u16(at) | uint32_t(u16(at + 2)) << 16; }
};

void scanMaterial(const Bytes& b, size_t at, size_t end, std::map<std::string, FirstColour>* out) {
  std::string name;
  FirstColour first;
  while (at + 6 <= end) {
    unsigned id = b.u16(at);
    uint32_t length = b.u32(at + 2);
    if (length < 6 || at + length > end) break;
    if (id == 0xA000) name = b.data.c_str() + at + 6;
    if ((id == 0xA010 || id == 0xA020 || id == 0xA030) && first.slot == 0) {
      for (size_t sub = at + 6; sub + 6 <= at + length;) {
        unsigned subId = b.u16(sub);
        uint32_t subLength = b.u32(sub + 2);
        if (subLength < 6) break;
        if (subId == 0x10 || subId == 0x11) {
          first.slot = id;
          first.format = subId;
          break;
        }
        sub += subLength;
      }
    }
    at += length;
  }
  if (!name.empty() && !out->count(name)) (*out)[name] = first;
}

std::map<std::string, FirstColour> scanMaterials(const std::string& path) {
  Bytes b;
  std::map<std::string, FirstColour> out;
  if (!testReadFile(path, &b.data) || b.data.size() < 6) return out;
  // Main, then the mesh data, then its materials.
  for (size_t at = 6; at + 6 <= b.data.size();) {
    uint32_t length = b.u32(at + 2);
    if (length < 6) break;
    if (b.u16(at) == 0x3D3D) {
      size_t end = std::min(b.data.size(), at + length);
      for (size_t m = at + 6; m + 6 <= end;) {
        uint32_t mLength = b.u32(m + 2);
        if (mLength < 6) break;
        if (b.u16(m) == 0xAFFF) scanMaterial(b, m + 6, std::min(end, m + mLength), &out);
        m += mLength;
      }
    }
    at += length;
  }
  return out;
}

uint32_t component(float value, unsigned format) {
  if (format == 0x11) return uint32_t(std::lround(value * 255.0));  // lib3ds stored byte / 255
  return uint32_t(int32_t(double(value) * 255.0)) & 0xFF;
}

uint32_t expectedColour(Lib3dsFile* file, const std::map<std::string, FirstColour>& firsts, const char* name) {
  if (!name[0]) return 0x7F7F7F;
  Lib3dsMaterial* material = lib3ds_file_material_by_name(file, name);
  auto first = firsts.find(name);
  if (!material || first == firsts.end() || first->second.slot == 0) return 0xC0C0C0;
  const float* rgb = first->second.slot == 0xA010   ? material->ambient
                     : first->second.slot == 0xA020 ? material->diffuse
                                                    : material->specular;
  unsigned format = first->second.format;
  return component(rgb[0], format) << 16 | component(rgb[1], format) << 8 | component(rgb[2], format);
}

// One face as our model stores it: the three corner positions (file Y and Z exchanged) and the
// colour.
typedef std::tuple<float, float, float, float, float, float, float, float, float, uint32_t> FaceKey;

struct Comparison {
  int files = 0;
  long faces = 0;
  long coloured = 0;  // faces whose colour came from a material
};

void compareFile(const std::string& path, Comparison* totals) {
  SCOPED_TRACE(path);
  Lib3dsFile* file = lib3ds_file_load(path.c_str());
  ASSERT_NE(file, nullptr) << "lib3ds cannot read it";
  const std::map<std::string, FirstColour> firsts = scanMaterials(path);

  int32_t vertices = 0, faces = 0;
  long theirVertices = 0, theirFaces = 0;
  for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
    theirVertices += mesh->points;
    theirFaces += mesh->faces;
  }
  ASSERT_TRUE(vxm3dsCount(path.c_str(), &vertices, &faces));
  EXPECT_EQ(vertices, theirVertices);
  EXPECT_EQ(faces, theirFaces);

  VxmModel* model = vxmModelLoad3DS(path.c_str());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->vertexCount, theirVertices);
  EXPECT_GE(model->triCount, theirFaces);
  EXPECT_LE(model->triCount, 2 * theirFaces);

  std::map<FaceKey, int> ours;
  for (int i = 0; i < model->triCount; ++i) {
    const VxmTri& t = model->tris[i];
    const VxmVector& a = model->vertices[t.v[0]];
    const VxmVector& b = model->vertices[t.v[1]];
    const VxmVector& c = model->vertices[t.v[2]];
    ++ours[FaceKey(a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z, t.colour)];
  }
  int missing = 0;
  for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next)
    for (Lib3dsDword f = 0; f < mesh->faces; ++f) {
      const Lib3dsFace& face = mesh->faceL[f];
      ASSERT_LT(face.points[0], mesh->points);
      ASSERT_LT(face.points[1], mesh->points);
      ASSERT_LT(face.points[2], mesh->points);
      const float* p[3] = {mesh->pointL[face.points[0]].pos, mesh->pointL[face.points[1]].pos,
                           mesh->pointL[face.points[2]].pos};
      uint32_t colour = expectedColour(file, firsts, face.material);
      if (colour != 0x7F7F7F && colour != 0xC0C0C0) ++totals->coloured;
      FaceKey key(p[0][0], p[0][2], p[0][1], p[1][0], p[1][2], p[1][1], p[2][0], p[2][2], p[2][1], colour);
      auto found = ours.find(key);
      if (found == ours.end() || found->second == 0) {
        if (++missing <= 5)
          ADD_FAILURE() << "mesh " << mesh->name << " face " << f << " material '" << face.material
                        << "' colour " << std::hex << colour << " not in our model";
      } else {
        --found->second;
      }
    }
  EXPECT_EQ(missing, 0);
  totals->faces += theirFaces;
  ++totals->files;
  vxmModelFree(model);
  lib3ds_file_free(file);
}

class ThreeDSAgainstLib3ds : public ::testing::Test {
 protected:
  TraceCapture trace;
  void SetUp() override { appHostSetInstallPath(""); }
};

TEST_F(ThreeDSAgainstLib3ds, PackageFilesAgree) {
  std::vector<std::string> files = packageFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  Comparison totals;
  for (const std::string& path : files) compareFile(path, &totals);
  EXPECT_GE(totals.files, 9);
  EXPECT_GT(totals.coloured, 0);  // the comparison covered material colours, not only defaults
  EXPECT_TRUE(trace.lines.empty()) << trace.lines.front();
}

TEST_F(ThreeDSAgainstLib3ds, ExportedMeshesAgree) {
  if (!fs::exists(fs::path(kModels) / "PLY")) GTEST_SKIP() << "assimp-testmodels is not installed";
  std::string dir = testScratchDir("threeds_lib3ds_export");
  std::vector<std::string> files = exportedFiles(dir);
  ASSERT_FALSE(files.empty()) << "the assimp tool exported nothing";
  Comparison totals;
  for (const std::string& path : files) compareFile(path, &totals);
  EXPECT_GT(totals.faces, 10000);
  EXPECT_GT(totals.coloured, 0);
}

TEST_F(ThreeDSAgainstLib3ds, PackagesEmptyFileFailsToCreateTheModel) {
  const std::string path = std::string(kModels) + "/invalid/empty.3ds";
  if (!fs::exists(path)) GTEST_SKIP() << "assimp-testmodels is not installed";
  EXPECT_EQ(vxmModelLoad3DS(path.c_str()), nullptr);
  EXPECT_EQ(trace.messages(), (std::vector<std::string>{"Invalid Parameters", "Failed to create model"}));
}

}  // namespace
#endif
