// vxmSelect.h: the editor's facet selection over one model (module Select): picking, single and
// rectangle selection, highlighting, painting, flat and cylindrical texture projection, and the
// committed copy of the facet table.
#pragma once

#include <cstdint>

#include "vxmMath.h"
#include "vxmModel.h"

enum {
  VXM_SELECTION_COLOUR = 0x00FF00,  // highlight of selected facets
  VXM_CURRENT_COLOUR = 0xFF0000,    // highlight of the facet under the pointer
};

struct VxmSelection {
  VxmModel* model;     // not owned
  VxmTri* savedTris;   // the committed copy of the model's facets, triCount of them
  uint8_t* selected;   // one flag per facet: 1 selected
  int32_t current;     // the facet under the pointer, -1 for none; the editor writes it
  int32_t triCount;    // facets of the model when the selection was made: the size of both tables
};

// Screen positions are pixel positions of the renderer's target: the model's vertices through
// its matrix and the renderer's screen matrix. Rectangles are two corners in any order, edges
// inside. "Visible" facets face the viewer. All are called by the editor's workspace tools.
VxmSelection* vxmSelectionCreate(VxmModel* model);
void vxmSelectionFree(VxmSelection* selection);
bool vxmSelectionClear(VxmSelection* selection);
int32_t vxmSelectionPick(VxmSelection* selection, int32_t x, int32_t y);
void vxmSelectionSelectTri(VxmSelection* selection, int32_t index);
void vxmSelectionDeselectTri(VxmSelection* selection, int32_t index);
void vxmSelectionSelectAll(VxmSelection* selection);
void vxmSelectionSelectRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
void vxmSelectionDeselectRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
bool vxmSelectionAny(VxmSelection* selection);
void vxmSelectionDraw(VxmSelection* selection);
void vxmSelectionDrawTri(VxmSelection* selection, int32_t index);
void vxmSelectionDrawCurrent(VxmSelection* selection);
void vxmSelectionDrawRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour);
void vxmSelectionPaintRect(VxmSelection* selection, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t colour);
// The projection matrix maps model space straight to texels of the slot's bitmap.
bool vxmSelectionApplyTexture(VxmSelection* selection, int32_t slot, const VxmMatrix* projection);
bool vxmSelectionApplyCylTexture(VxmSelection* selection, int32_t slot, const VxmMatrix* projection, float uOffset,
                                 float vOffset, float uRepeat, float vScale);
bool vxmSelectionRemoveTexture(VxmSelection* selection, int32_t slot);
bool vxmSelectionRestoreTris(VxmSelection* selection);
bool vxmSelectionSaveTris(VxmSelection* selection);
bool vxmSelectionSaveTri(VxmSelection* selection, int32_t index);
