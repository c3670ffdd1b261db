// vxmLight.h: the one lighting state of a program (module Light), its shade tables and VLT files.
#pragma once

#include <cstdint>

#include "vxmMath.h"

struct VxmLight {
  uint32_t ambient;       // 0x00RRGGBB
  uint32_t directional;   // 0x00RRGGBB
  VxmVector direction;    // as set or read, never normalised here
  uint8_t redTable[256 * 256];    // entry [value][intensity] at value * 256 + intensity
  uint8_t greenTable[256 * 256];
  uint8_t blueTable[256 * 256];
};

void vxmLightSetAmbient(uint32_t colour);
void vxmLightSetDirectional(uint32_t colour);
uint32_t vxmLightGetAmbient(void);
uint32_t vxmLightGetDirectional(void);
void vxmLightSetDirection(const VxmVector* direction);
void vxmLightGetDirection(VxmVector* direction);
const VxmVector* vxmLightDirectionPtr(void);
const uint8_t* vxmLightGetRedTable(void);
const uint8_t* vxmLightGetGreenTable(void);
const uint8_t* vxmLightGetBlueTable(void);
void vxmLightCalcTables(void);
bool vxmLightLoadVLT(const char* fileName);
bool vxmLightSaveVLT(const char* fileName);
