// info.cpp: voxim info FILE: one "key: value" line per count and setting of a model, or the
// colours and direction of a VLT lighting file (chosen by the extension .vlt).
#include <cstdio>
#include <cstring>

#include "commands.h"
#include "vxmLight.h"
#include "vxmModel.h"

static bool infoIsLightFile(const char* name) {
  const char* dot = std::strrchr(name, '.');
  if (!dot || std::strlen(dot) != 4) return false;
  const char* want = ".vlt";
  for (int i = 0; i < 4; ++i) {
    char c = dot[i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != want[i]) return false;
  }
  return true;
}

static void infoColour(const char* key, uint32_t colour) {
  std::printf("%s: %u,%u,%u\n", key, (unsigned)((colour >> 16) & 0xFF), (unsigned)((colour >> 8) & 0xFF),
              (unsigned)(colour & 0xFF));
}

static int infoLight(const char* name) {
  if (!vxmLightLoadVLT(name)) return 1;
  VxmVector d;
  vxmLightGetDirection(&d);
  infoColour("ambient", vxmLightGetAmbient());
  infoColour("directional", vxmLightGetDirectional());
  std::printf("direction: %f,%f,%f\n", d.x, d.y, d.z);
  return 0;
}

static int infoModel(const char* name) {
  VxmModel* model = vxmModelLoad(name);
  if (!model) return 1;
  int textured = 0;
  for (int32_t i = 0; i < model->triCount; ++i)
    if (model->tris[i].texture) ++textured;
  std::printf("vertices: %d\n", (int)model->vertexCount);
  std::printf("facets: %d\n", (int)model->triCount);
  std::printf("textures: %d\n", (int)model->textureCount);
  std::printf("textured facets: %d\n", textured);
  std::printf("vertex normals: %s\n", model->averageNormals ? "average" : model->vertexNormals ? "yes" : "no");
  std::printf("highlight: %s\n", model->highlight ? "yes" : "no");
  std::printf("highlight value: %d\n", (int)model->highlightValue);
  for (int32_t s = 0; s < model->textureCount; ++s) std::printf("texture: %s\n", model->textures[s].path);
  vxmModelFree(model);
  return 0;
}

int voximInfo(int argc, char** argv) {
  if (argc != 2) return voximUsage("info FILE");
  return infoIsLightFile(argv[1]) ? infoLight(argv[1]) : infoModel(argv[1]);
}
