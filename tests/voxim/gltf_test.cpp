// gltf_test.cpp: the glTF 2.0 reader on files written here: the node tree's transforms and the
// Y-up mapping with exact positions, colours from materials and vertex colours, sides, strips
// and fans, .glb and .bin files, and one refusal for each hostile construction.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ChunkBytes.h"
#include "ModelTestSupport.h"
#include "vxmImport.h"
#include "vxmModel.h"

namespace {

std::string base64(const std::string& bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = (uint8_t)bytes[i] << 16;
    if (i + 1 < bytes.size()) n |= (uint8_t)bytes[i + 1] << 8;
    if (i + 2 < bytes.size()) n |= (uint8_t)bytes[i + 2];
    text += digits[n >> 18];
    text += digits[(n >> 12) & 63];
    text += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
    text += i + 2 < bytes.size() ? digits[n & 63] : '=';
  }
  return text;
}

// The buffer: three positions (1,2,3), (5,2,3), (1,7,3), counter-clockwise seen from +z, a fourth
// (1,2,9), indices 0 1 2 3 as 16-bit values, then three RGBA colours as bytes.
std::string bufferBytes() {
  std::string b;
  for (float f : {1.f, 2.f, 3.f, 5.f, 2.f, 3.f, 1.f, 7.f, 3.f, 1.f, 2.f, 9.f}) b += f32(f);
  b += u16(0) + u16(1) + u16(2) + u16(3);
  for (int c : {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255}) b += char(c);
  return b;  // 48 + 8 + 12 = 68 bytes
}

std::string dataUri() { return "data:application/octet-stream;base64," + base64(bufferBytes()); }

// The base document; each test replaces one piece of it.
std::string baseDoc() {
  return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
 "nodes":[{"mesh":0}],
 "meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1,"material":0}]}],
 "materials":[{"pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,1,1]},"doubleSided":true}],
 "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"},
  {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"},
  {"bufferView":2,"componentType":5121,"normalized":true,"count":3,"type":"VEC4"}],
 "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":48},{"buffer":0,"byteOffset":48,"byteLength":8},
  {"buffer":0,"byteOffset":56,"byteLength":12}],
 "buffers":[{"byteLength":68,"uri":"URI"}]})";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string doc(const std::string& from = "", const std::string& to = "") {
  std::string text = replaced(baseDoc(), "URI", dataUri());
  return from.empty() ? text : replaced(text, from, to);
}

class Gltf : public ModelFolderTest {
 protected:
  void expectRefusedBytes(const std::string& name, const std::string& bytes, const std::string& words) {
    trace.clear();
    VxmModel* model = load(name, bytes);
    EXPECT_EQ(model, nullptr) << words;
    vxmModelFree(model);
    EXPECT_NE(std::string(vxmImportReason()).find(words), std::string::npos) << vxmImportReason();
    EXPECT_TRUE(trace.has(vxmImportReason())) << words;
    expectNoLeak();
  }
  VxmModel* load(const std::string& name, const std::string& bytes) {
    write(name, bytes);
    return vxmModelLoad(name.c_str());
  }
  void expectVertex(const VxmModel* m, int i, float x, float y, float z) {
    EXPECT_NEAR(m->vertices[i].x, x, 1e-5) << i;
    EXPECT_NEAR(m->vertices[i].y, y, 1e-5) << i;
    EXPECT_NEAR(m->vertices[i].z, z, 1e-5) << i;
  }
};

TEST_F(Gltf, TriangleMapsYUpKeepsItsFrontAndTakesTheSrgbOfTheBaseColour) {
  VxmModel* m = load("t.gltf", doc());
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->vertexCount, 3);
  expectVertex(m, 0, 1, 2, -3);
  expectVertex(m, 1, 5, 2, -3);
  expectVertex(m, 2, 1, 7, -3);
  ASSERT_EQ(m->triCount, 2);
  EXPECT_EQ(m->tris[0].v[0], 0);
  EXPECT_EQ(m->tris[0].v[1], 2);
  EXPECT_EQ(m->tris[0].v[2], 1);
  EXPECT_FLOAT_EQ(m->tris[0].normal.z, -1.0f);  // facing the viewer, its twin away
  EXPECT_FLOAT_EQ(m->tris[1].normal.z, 1.0f);
  EXPECT_EQ(m->tris[0].colour, 0xBC89FFu);  // linear 0.5, 0.25, 1 in sRGB
  EXPECT_EQ(m->tris[1].colour, 0xBC89FFu);
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(Gltf, MaterialsSidesAndVertexColours) {
  struct Row {
    std::string from, to;
    int facets;
    uint32_t colour;
  } rows[] = {
      {"\"doubleSided\":true", "\"doubleSided\":false", 1, 0xBC89FF},
      {"\"doubleSided\":true", "\"name\":\"one side by default\"", 1, 0xBC89FF},
      {",\"material\":0", "", 1, VXM_DEFAULT_COLOUR},
      // Red, green and blue corners average to a third of each, times the factor (0.5, 0.25, 1):
      // linear 1/6, 1/12 and 1/3 in sRGB.
      {"\"POSITION\":0}", "\"POSITION\":0,\"COLOR_0\":2}", 2, 0x71529C},
      // Without a material: a third of each, on one side.
      {"\"POSITION\":0},\"indices\":1,\"material\":0", "\"POSITION\":0,\"COLOR_0\":2},\"indices\":1", 1, 0x9C9C9C},
  };
  for (const Row& row : rows) {
    VxmModel* m = load("t.gltf", doc(row.from, row.to));
    ASSERT_NE(m, nullptr) << row.to;
    EXPECT_EQ(m->triCount, row.facets) << row.to;
    EXPECT_EQ(m->tris[0].colour, row.colour) << row.to;
    vxmModelFree(m);
  }
}

TEST_F(Gltf, NodeTransformsApplyParentFirstAndAMirrorTurnsTheWinding) {
  // Parent: translation (10,0,0), a quarter turn about y ((x,y,z) -> (z,y,-x)) and scale 2 in x;
  // its child: a matrix moving by (0,0,5). Vertex (1,2,3) of the child: (1,2,8) -> (2,2,8) ->
  // (8,2,-2) -> (18,2,-2); in the model (18,2,2).
  std::string nodes = R"("nodes":[{"translation":[10,0,0],"rotation":[0,0.70710678118654752,0,0.70710678118654752],"scale":[2,1,1],"children":[1]},
    {"matrix":[1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,5,1],"mesh":0}])";
  VxmModel* m = load("t.gltf", doc("\"nodes\":[{\"mesh\":0}]", nodes));
  ASSERT_NE(m, nullptr);
  expectVertex(m, 0, 18, 2, 2);
  expectVertex(m, 1, 18, 2, 10);  // (5,2,3): (5,2,8) -> (10,2,8) -> (8,2,-10) -> (18,2,-10)
  // Scale 2 with a quarter turn keeps the winding.
  EXPECT_EQ(m->tris[0].v[1], 2);
  vxmModelFree(m);
  m = load("t.gltf", doc("\"nodes\":[{\"mesh\":0}]", "\"nodes\":[{\"mesh\":0,\"scale\":[-1,1,1]}]"));
  ASSERT_NE(m, nullptr);
  expectVertex(m, 0, -1, 2, -3);
  EXPECT_EQ(m->tris[0].v[1], 1);  // mirrored: stored as the file wrote it
  EXPECT_EQ(m->tris[0].v[2], 2);
  EXPECT_LT(m->tris[0].normal.z, 0.0f);  // still facing the viewer
  vxmModelFree(m);
}

TEST_F(Gltf, StripsFansAndUnindexedTriangles) {
  // Over indices 0 1 2 3, one-sided. Strip: (0,1,2), then (2,1,3) turned to wind alike; fan:
  // (0,1,2), (0,2,3); each stored reversed.
  const int strip[] = {0, 2, 1, 2, 3, 1}, fan[] = {0, 2, 1, 0, 3, 2};
  for (int mode : {5, 6}) {
    std::string text = doc("\"count\":3,\"type\":\"SCALAR\"", "\"count\":4,\"type\":\"SCALAR\"");
    text = replaced(text, "\"indices\":1", "\"indices\":1,\"mode\":" + std::to_string(mode));
    text = replaced(text, "\"count\":3,\"type\":\"VEC3\"", "\"count\":4,\"type\":\"VEC3\"");
    text = replaced(text, "\"doubleSided\":true", "\"doubleSided\":false");
    VxmModel* m = load("t.gltf", text);
    ASSERT_NE(m, nullptr) << mode;
    ASSERT_EQ(m->triCount, 2) << mode;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m->tris[i / 3].v[i % 3], (mode == 5 ? strip : fan)[i]) << mode << " " << i;
    vxmModelFree(m);
  }
  // Without indices the positions are the corners, three by three.
  VxmModel* m = load("t.gltf", doc(",\"indices\":1", ""));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->triCount, 2);
  EXPECT_EQ(m->tris[0].v[1], 2);
  vxmModelFree(m);
}

TEST_F(Gltf, BinaryGlbAndABinFileBeside) {
  std::string json = replaced(baseDoc(), ",\"uri\":\"URI\"", "");
  json += std::string((4 - json.size() % 4) % 4, ' ');
  std::string bin = bufferBytes();
  bin += std::string((4 - bin.size() % 4) % 4, '\0');
  std::string glb = u32(0x46546C67) + u32(2) + u32(uint32_t(12 + 8 + json.size() + 8 + bin.size())) +
                    u32(uint32_t(json.size())) + u32(0x4E4F534A) + json + u32(uint32_t(bin.size())) + u32(0x004E4942) + bin;
  VxmModel* m = load("t.GLB", glb);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->triCount, 2);
  expectVertex(m, 2, 1, 7, -3);
  vxmModelFree(m);
  // The same GLB with its BIN chunk cut short.
  expectRefusedBytes("cut.glb", glb.substr(0, glb.size() - 4), "The binary glTF file claims");

  write("parts b.bin", bufferBytes());
  m = load("t.gltf", replaced(baseDoc(), "URI", "parts%20b.bin"));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->triCount, 2);
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(Gltf, HostileFilesAreRefusedWithTheirReason) {
  struct Row {
    std::string from, to, words;
  } rows[] = {
      {"\"indices\":1", "\"indices\":1,\"mode\":0", "Mesh 0 draws points or lines"},
      {"\"indices\":1", "\"indices\":1,\"mode\":3", "Mesh 0 draws points or lines"},
      {"\"indices\":1", "\"indices\":1,\"mode\":7", "\"mode\" is not a whole number from 0 to 6."},
      {"\"count\":3,\"type\":\"VEC3\"", "\"count\":3,\"type\":\"VEC3\",\"byteOffset\":16",
       "Accessor 0 ends at byte 52 of buffer view 0, which has 48."},
      {"\"count\":3,\"type\":\"VEC3\"", "\"count\":2147483648,\"type\":\"VEC3\"", "\"count\" is not a whole number"},
      {"\"count\":3,\"type\":\"VEC3\"", "\"count\":2147483647,\"type\":\"VEC3\"", "Accessor 0 ends at byte 25769803764"},
      {"\"byteOffset\":0,\"byteLength\":48", "\"byteOffset\":21,\"byteLength\":48",
       "Buffer view 0 ends at byte 69 of buffer 0, which has 68."},
      {"\"byteLength\":68", "\"byteLength\":69", "Buffer 0 holds 68 bytes of the 69 it claims."},
      {"\"count\":3,\"type\":\"VEC3\"}", "\"count\":3,\"type\":\"VEC3\",\"sparse\":{\"count\":1}}", "Accessor 0 is sparse"},
      {"\"nodes\":[{\"mesh\":0}]", "\"nodes\":[{\"mesh\":0,\"children\":[1]},{\"children\":[0]}]",
       "The nodes form a cycle through node 0."},
      {"\"nodes\":[{\"mesh\":0}]", "\"nodes\":[{\"mesh\":0,\"children\":[0]}]", "The nodes form a cycle through node 0."},
      {"\"nodes\":[0]", "\"nodes\":[0,0]", "Node 0 appears twice in the scene."},
      {"\"nodes\":[{\"mesh\":0}]", "\"nodes\":[{\"mesh\":0,\"translation\":[1e999,0,0]}]",
       "\"translation\" holds a value that is not a finite number."},
      {"\"baseColorFactor\":[0.5,0.25,1,1]", "\"baseColorFactor\":[0.5,-1e400,1,1]", "not a finite number"},
      {"\"nodes\":[{\"mesh\":0}]", "\"nodes\":[{\"mesh\":0,\"scale\":[1e39,1,1]}]",
       "Vertex 0 of mesh 0 is not a finite number."},
      {"\"version\":\"2.0\"}", "\"version\":\"2.0\"},\"extensionsRequired\":[\"KHR_materials_unlit\",\"EXT_x\",\"KHR_y\"]",
       "requires glTF extensions that Quirla does not support: EXT_x, KHR_y."},
      {"\"version\":\"2.0\"", "\"version\":\"1.0\"", "The file is not glTF 2.0."},
      {"\"indices\":1", "\"indices\":3", "The file has no accessor 3; it has 3."},
      {"\"scene\":0", "\"scene\":1", "The file has no scene 1; it has 1."},
      {"\"componentType\":5126", "\"componentType\":5123", "not three floats each"},
      {"\"componentType\":5123,\"count\":3", "\"componentType\":5126,\"count\":2", "not unsigned whole numbers"},
      {"\"meshes\":[{\"primitives\":[{", "\"meshes\":[{\"primitives\":[{\"x\":[1,2,", "The JSON text is not well formed."},
      {"\"asset\"", "\"asset\":1,\"x\"", "The file is not glTF 2.0."},
  };
  for (const Row& row : rows) expectRefusedBytes("bad.gltf", doc(row.from, row.to), row.words);

  // Colours as floats over positions 1 to 3, the last of which holds an infinity (0x7F800000)
  // that the three positions read do not reach.
  std::string infinite = bufferBytes();
  infinite.replace(40, 4, u32(0x7F800000u));
  std::string colours = replaced(baseDoc(), "URI", "data:;base64," + base64(infinite));
  colours = replaced(colours, "\"POSITION\":0}", "\"POSITION\":0,\"COLOR_0\":3}");
  colours = replaced(colours, "\"type\":\"VEC4\"}]",
                     "\"type\":\"VEC4\"},{\"bufferView\":0,\"byteOffset\":12,\"componentType\":5126,\"count\":3,\"type\":\"VEC3\"}]");
  expectRefusedBytes("bad.gltf", colours, "The colours of mesh 0 hold a value that is not a finite number.");

  // Index 3 names a vertex the three positions do not have.
  std::string outside = doc("\"count\":3,\"type\":\"SCALAR\"", "\"count\":3,\"type\":\"SCALAR\",\"byteOffset\":2");
  expectRefusedBytes("bad.gltf", outside, "Mesh 0 has index 3; it has 3 vertices.");
  const std::string bufferRows[][2] = {
      {"data:application/octet-stream;base64,AAA*", "The data URI of buffer 0 is not base64."},
      {"data:application/octet-stream,AAAA", "The data URI of buffer 0 is not base64."},
      {"data:application/octet-stream;base64,A", "The data URI of buffer 0 is not base64."},
      {"../b.bin", "The model names a file outside its folder: ../b.bin"},
      {"%2E%2E/b.bin", "The model names a file outside its folder: ../b.bin"},
      {"/tmp/b.bin", "outside its folder"},
      {"b%2", "The URI of buffer 0 is not a file name."},
      {"absent.bin", "Failed to open file"},
  };
  for (const auto& row : bufferRows) expectRefusedBytes("bad.gltf", replaced(baseDoc(), "URI", row[0]), row[1]);
}

TEST_F(Gltf, BaseColourTextureWithItsDownwardCoordinatesTurnedUp) {
  // A 2 x 2 PNG (top row red, green) as a data URI; corners at glTF (0,0), (1,0), (0,1): the top
  // left, top right and bottom left of the picture.
  const std::string png(
      "\x89\x50\x4e\x47\x0d\x0a\x1a\x0a\x00\x00\x00\x0d\x49\x48\x44\x52\x00\x00\x00\x02\x00\x00\x00\x02\x08\x02\x00\x00"
      "\x00\xfd\xd4\x9a\x73\x00\x00\x00\x12\x49\x44\x41\x54\x78\x9c\x63\xf8\xcf\xc0\xc0\x00\xc2\x0c\xff\x81\x00\x00\x1f"
      "\xee\x05\xfb\x0b\xd9\x68\x8b\x00\x00\x00\x00\x49\x45\x4e\x44\xae\x42\x60\x82",
      75);
  std::string coords;
  for (float f : {0.f, 0.f, 1.f, 0.f, 0.f, 1.f}) coords += f32(f);
  std::string text = doc("\"POSITION\":0}", "\"POSITION\":0,\"TEXCOORD_0\":3}");
  text = replaced(text, "\"type\":\"VEC4\"}]", "\"type\":\"VEC4\"},{\"bufferView\":3,\"componentType\":5126,\"count\":3,\"type\":\"VEC2\"}]");
  text = replaced(text, "\"byteLength\":12}]", "\"byteLength\":12},{\"buffer\":1,\"byteLength\":24}]");
  text = replaced(text, "1,1]}", "1,1],\"baseColorTexture\":{\"index\":0}}");
  text = replaced(text, "{\"asset\"", "{\"textures\":[{\"source\":0}],\"images\":[{\"uri\":\"data:image/png;base64," + base64(png) + "\"}],\"asset\"");
  text = text.substr(0, text.size() - 2) + ",{\"byteLength\":24,\"uri\":\"data:;base64," + base64(coords) + "\"}]}";
  VxmModel* m = load("t.gltf", text);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->textureCount, 1);
  EXPECT_EQ(m->textures[0].path, path("t.gltf") + "#image0");
  EXPECT_EQ(m->tris[0].texture, m->textures[0].bitmap);
  const int32_t uv[6] = {0, 8191, 0, 0, 8191, 8191};  // corners stored as (0, 2, 1); v up, clamped
  for (int k = 0; k < 6; ++k) EXPECT_EQ(m->tris[0].uv[k], uv[k]) << k;
  vxmModelFree(m);
  expectNoLeak();
}

TEST_F(Gltf, EveryFailedAllocationFailsCleanly) {
  write("m.gltf", doc("\"POSITION\":0}", "\"POSITION\":0,\"COLOR_0\":2}"));
  long before = vxmMemAllocations();
  VxmModel* good = vxmModelLoad("m.gltf");
  ASSERT_NE(good, nullptr);
  vxmModelFree(good);
  long used = vxmMemAllocations() - before;
  for (long n = 0; n < used; ++n) {
    vxmMemFailAfter(n);
    VxmModel* m = vxmModelLoad("m.gltf");
    vxmMemFailAfter(-1);
    if (m) vxmModelFree(m);
    else EXPECT_STREQ(vxmImportReason(), "Out of Memory!") << n;
    expectNoLeak();
  }
}

}  // namespace
