// import_real_files_test.cpp: the STL, OBJ and glTF readers on every such file of Debian's assimp
// test models. Each either imports, with its triangles equal to those tools/count-triangles
// counts with Python's own parsers, or is one of the files listed here as refused, with the
// listed words in its reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolRun.h"
#include "app.h"
#include "appHost.h"
#include "vxmImport.h"
#include "vxmModel.h"

namespace {

namespace fs = std::filesystem;

const char* const kModels = "/usr/share/assimp/models";

// Files that are refused, by their path below kModels, with words of the reason.
const std::map<std::string, std::string> kRefused = {
    {"OBJ/box_UTF16BE.obj", "The file holds no triangles."},  // UTF-16 text: no statement is read
    {"OBJ/point_cloud.obj", "The file holds no triangles."},
    {"OBJ/testline.obj", "The file holds no triangles."},
    {"OBJ/testpoints.obj", "The file holds no triangles."},
    {"glTF/BoxTextured-glTF-Binary/BoxTextured.glb", "not of version 2"},
    {"glTF/BoxTextured-glTF-Embedded/BoxTextured.gltf", "not glTF 2.0"},
    {"glTF/BoxTextured-glTF-MaterialsCommon/BoxTextured.gltf", "not glTF 2.0"},
    {"glTF/BoxTextured-glTF/BoxTextured.gltf", "not glTF 2.0"},
    {"glTF/CesiumMilkTruck/CesiumMilkTruck.gltf", "not glTF 2.0"},
    {"glTF/IncorrectVertexArrays/Cube_v1.gltf", "not glTF 2.0"},
    {"glTF/TwoBoxes/TwoBoxes.gltf", "not glTF 2.0"},
    {"glTF2/BoxTextured-glTF-techniqueWebGL/BoxTextured.gltf", "does not support: KHR_technique_webgl."},
    {"glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb", "is not a finite number"},
    {"glTF2/IncorrectVertexArrays/Cube.gltf", "draws points or lines"},
    {"glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf", "Mesh 0 has index 65535; it has 24 vertices."},
    {"glTF2/IndexOutOfRange/IndexOutOfRange.gltf", "Mesh 0 has index 255; it has 24 vertices."},
    {"glTF2/MissingBin/BoxTextured.gltf", "Failed to open file"},
    {"glTF2/RecursiveNodes/RecursiveNodes.gltf", "The nodes form a cycle"},
    {"glTF2/SchemaFailures/sceneWrongType.gltf", "\"scene\" is not a whole number"},
    {"glTF2/TestNoRootNode/NoScene.gltf", "The file holds no triangles."},
    {"glTF2/TestNoRootNode/SceneWithoutNodes.gltf", "The file holds no triangles."},
    {"glTF2/draco/2CylinderEngine.gltf", "does not support: KHR_draco_mesh_compression."},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_00.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_01.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_02.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_03.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_07.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_08.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_09.gltf", "draws points or lines"},
    {"glTF2/glTF-Asset-Generator/Mesh_PrimitiveMode/Mesh_PrimitiveMode_10.gltf", "draws points or lines"},
    {"glTF2/wrongTypes/badArray.gltf", "Mesh 0 has no primitives."},
    {"glTF2/wrongTypes/badUint.gltf", "\"index\" is not a whole number"},  // a texture index of text
};

// Every .stl, .obj, .gltf and .glb file below the package's folders of these formats.
std::vector<std::string> packageFiles() {
  std::vector<std::string> files;
  for (const char* folder : {"STL", "OBJ", "glTF", "glTF2"}) {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(kModels) / folder, ec)) {
      std::string ext = entry.path().extension().string();
      for (char& c : ext) c = char(std::tolower((unsigned char)c));
      if (ext == ".stl" || ext == ".obj" || ext == ".gltf" || ext == ".glb")
        files.push_back(fs::relative(entry.path(), kModels).string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The independent counts of the files, by path below kModels.
std::map<std::string, long long> independentCounts(const std::vector<std::string>& files) {
  std::string command = "cd '" + std::string(kModels) + "' && '" + testSourceDir() + "/tools/count-triangles'";
  for (const std::string& file : files) command += " '" + file + "'";
  std::map<std::string, long long> counts;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return counts;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    std::istringstream words(line);
    long long count;
    std::string name;
    words >> count;
    std::getline(words >> std::ws, name);
    counts[name] = count;
  }
  pclose(pipe);
  return counts;
}

TEST(ImportRealFiles, EveryPackageFileImportsWithTheIndependentCountOrIsRefusedWithItsReason) {
  const std::vector<std::string> files = packageFiles();
  if (files.empty()) GTEST_SKIP() << "assimp-testmodels is not installed";
  appHostSetInstallPath("");
  appEnableMessages(false);
  std::vector<std::string> imported;
  for (const std::string& file : files)
    if (!kRefused.count(file)) imported.push_back(file);
  const std::map<std::string, long long> counts = independentCounts(imported);
  ASSERT_EQ(counts.size(), imported.size());
  int refused = 0;
  for (const std::string& file : files) {
    const std::string path = std::string(kModels) + "/" + file;
    VxmModel* model = vxmModelLoad(path.c_str());
    auto refusal = kRefused.find(file);
    if (refusal != kRefused.end()) {
      EXPECT_EQ(model, nullptr) << file;
      EXPECT_NE(std::string(vxmImportReason()).find(refusal->second), std::string::npos)
          << file << ": " << vxmImportReason();
      ++refused;
    } else if (model) {
      const long long triangles = counts.at(file);
      EXPECT_EQ(vxmImportTriangles(), triangles) << file;
      // Twins already in the file are not doubled again.
      EXPECT_GE(model->triCount, triangles) << file;
      EXPECT_LE(model->triCount, 2 * triangles) << file;
    } else {
      ADD_FAILURE() << file << " was refused: " << vxmImportReason();
    }
    vxmModelFree(model);
  }
  EXPECT_EQ(refused, (int)kRefused.size());  // every listed file is still in the package
  appEnableMessages(true);
}

TEST(ImportRealFiles, TheToolDescribesAndConvertsImportedModelsWithTheirPictures) {
  const std::string box = std::string(kModels) + "/glTF2/BoxTextured-glTF/BoxTextured.gltf";
  if (!fs::exists(box)) GTEST_SKIP() << "assimp-testmodels is not installed";
  const std::string dir = testScratchDir("import-tool");
  ToolRun run = runTool(dir, "info " + toolQuote(std::string(kModels) + "/STL/triangle_with_two_solids.stl"));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.substr(0, 22), "vertices: 6\nfacets: 4\n");
  run = runTool(dir, "convert " + toolQuote(box) + " box.vxm");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(testJoin(dir, "box-1.bmp")));
  run = runTool(dir, "info box.vxm");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("textures: 1\ntextured facets: 12\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("box-1.bmp"), std::string::npos) << run.out;
}

}  // namespace
