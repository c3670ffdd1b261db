// Light.cpp: the program's one lighting state (ambient and directional colours, the light
// direction), its three shade tables and the VLT lighting files.
#include <cstdio>

#include "app.h"
#include "vxmLight.h"

static VxmLight light;  // all zero until the renderer sets its defaults

static constexpr const char* kVltNotice = "- Quirla lighting file";

// entry [i][j] = min(255, floor(i * A / 256) + floor(j * D / 256)), built with additions and
// shifts only: the row sum grows by A per row, the column sum by D per column.
static void lightFillTable(uint8_t* table, uint32_t ambient, uint32_t directional) {
  uint32_t rowSum = 0;
  for (int i = 0; i < 256; ++i, rowSum += ambient) {
    uint32_t base = rowSum >> 8, columnSum = 0;
    for (int j = 0; j < 256; ++j, columnSum += directional) {
      uint32_t value = (columnSum >> 8) + base;
      *table++ = (uint8_t)(value > 255 ? 255 : value);
    }
  }
}

void vxmLightCalcTables(void) {
  lightFillTable(light.redTable, (light.ambient >> 16) & 0xFF, (light.directional >> 16) & 0xFF);
  lightFillTable(light.greenTable, (light.ambient >> 8) & 0xFF, (light.directional >> 8) & 0xFF);
  lightFillTable(light.blueTable, light.ambient & 0xFF, light.directional & 0xFF);
}

void vxmLightSetAmbient(uint32_t colour) {
  light.ambient = colour;
  vxmLightCalcTables();
}

void vxmLightSetDirectional(uint32_t colour) {
  light.directional = colour;
  vxmLightCalcTables();
}

uint32_t vxmLightGetAmbient(void) { return light.ambient; }
uint32_t vxmLightGetDirectional(void) { return light.directional; }

void vxmLightSetDirection(const VxmVector* direction) {
  if (!direction) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  light.direction = *direction;
}

void vxmLightGetDirection(VxmVector* direction) {
  if (!direction) {
    APP_TRACE("Invalid Parameters");
    return;
  }
  *direction = light.direction;
}

const VxmVector* vxmLightDirectionPtr(void) { return &light.direction; }
const uint8_t* vxmLightGetRedTable(void) { return light.redTable; }
const uint8_t* vxmLightGetGreenTable(void) { return light.greenTable; }
const uint8_t* vxmLightGetBlueTable(void) { return light.blueTable; }

static bool lightSkipLine(FILE* file) {
  char line[256];
  return std::fgets(line, sizeof line, file) != nullptr;
}

// Reads "<label> %d" and stores the number's low 8 bits at `shift` in the colour at once.
static bool lightReadByte(FILE* file, const char* pattern, uint32_t* colour, int shift) {
  int value;
  if (std::fscanf(file, pattern, &value) != 1) return false;
  *colour = (*colour & ~(0xFFu << shift)) | ((uint32_t)(value & 0xFF) << shift);
  return true;
}

static bool lightReadColour(FILE* file, uint32_t* colour) {
  return lightReadByte(file, "Red %d\n", colour, 16) && lightReadByte(file, "Green %d\n", colour, 8) &&
         lightReadByte(file, "Blue %d\n", colour, 0);
}

// All or nothing: the values are read into a copy and take effect only when the whole file is
// good, so a file that breaks off leaves the lights, direction and tables as they were.
bool vxmLightLoadVLT(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  char path[APP_PATH_LENGTH];
  if (!appLocateFile(fileName, path)) {
    APP_TRACE("Failed to validate file: %s", fileName);
    return false;
  }
  FILE* file = appFileOpen(path, "r");
  if (!file) {
    APP_TRACE("Failed to open file: %s", path);
    return false;
  }
  uint32_t ambient = light.ambient, directional = light.directional;
  VxmVector direction;
  bool ok = lightSkipLine(file) && lightSkipLine(file) && lightSkipLine(file) &&  // notice, version, heading
            lightReadColour(file, &ambient) && lightSkipLine(file) &&            // "Directional Light:"
            lightReadColour(file, &directional) &&
            std::fscanf(file, "Direction %f %f %f\n", &direction.x, &direction.y, &direction.z) == 3;
  std::fclose(file);
  if (!ok) {
    APP_TRACE("Failed to read from file: %s", path);
    return false;
  }
  light.ambient = ambient;
  light.directional = directional;
  light.direction = direction;
  vxmLightCalcTables();
  return true;
}

bool vxmLightSaveVLT(const char* fileName) {
  if (!fileName) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  // Written whole or not at all: a failed save leaves the old file as it was.
  AppSave save;
  AppSave* file = &save;
  if (!appSaveBegin(file, fileName, true)) return false;
  const uint32_t a = light.ambient, d = light.directional;
  appSavePrintf(file, "VOXIM Light Format %s\n", kVltNotice);
  appSavePrintf(file, "Version: 2.10\n");
  appSavePrintf(file, "Ambient Light:\n");
  appSavePrintf(file, "Red %d\nGreen %d\nBlue %d\n", (int)((a >> 16) & 0xFF), (int)((a >> 8) & 0xFF), (int)(a & 0xFF));
  appSavePrintf(file, "Directional Light:\n");
  appSavePrintf(file, "Red %d\nGreen %d\nBlue %d\n", (int)((d >> 16) & 0xFF), (int)((d >> 8) & 0xFF), (int)(d & 0xFF));
  appSavePrintf(file, "Direction %f %f %f\n", light.direction.x, light.direction.y, light.direction.z);
  if (!appSaveFinish(file)) {
    APP_TRACE("Failed to write to file: %s", fileName);
    return false;
  }
  return true;
}
