// Lights.cpp: the installation's lighting files (Lights\): day (the default), night, sunset and
// neon. A direction is where the light travels in the world (x right, y up, z away from the
// viewer); its length scales the directional light, up to full strength at length 2.
#include <cstdio>

#include "app.h"
#include "mkdata.h"
#include "vxmLight.h"

namespace {

struct LightFile {
  const char* file;
  uint32_t ambient;      // 0x00RRGGBB
  uint32_t directional;  // 0x00RRGGBB
  VxmVector direction;
};

const LightFile kLights[] = {
    // Daylight from the upper left, in front of the model.
    {"Lights/day.vlt", 0xB0B0B0, 0xA0A098, {0.5f, -0.7f, 0.9f}},
    // Cool moonlight from the upper right over a dark blue sky.
    {"Lights/night.vlt", 0x3C4670, 0x8C9CD2, {-0.7f, -0.6f, 1.0f}},
    // A low orange sun from the left under a purple sky.
    {"Lights/sunset.vlt", 0x9C5A78, 0xFF8C28, {1.3f, -0.15f, 0.8f}},
    // Magenta all round, cyan from below right.
    {"Lights/neon.vlt", 0xA03CB4, 0x00F0E6, {-0.8f, 0.9f, 0.9f}},
};

}  // namespace

bool mkLights(const char* root) {
  for (const LightFile& light : kLights) {
    char path[APP_PATH_LENGTH];
    vxmLightSetAmbient(light.ambient);
    vxmLightSetDirectional(light.directional);
    vxmLightSetDirection(&light.direction);
    if (!mkJoin(root, light.file, path) || !vxmLightSaveVLT(path)) {
      std::fprintf(stderr, "mkdata: could not write %s\n", light.file);
      return false;
    }
  }
  return true;
}
