// fuzz_render.cpp: libFuzzer entry for the renderer on hostile models. Each input is a VXM file
// (in a private installation folder that also holds the bitmap t.bmp inputs may name); a model
// that loads is drawn in every render state into a small target: fitted as the screensaver fits
// it, turned by an angle taken from the input, and magnified so that corners fall on, just past
// and far outside the target's edges. Each facet alone and the editor's highlight over its
// corners are drawn too. The sanitizers catch any access outside the target, the depth buffer
// or the work buffers.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFolder.h"
#include "vxmMath.h"
#include "vxmModel.h"
#include "vxmRender.h"

static std::string fuzzFolder;
static VxmBitmap* target;

// One of each row of the frame dispatch, and wireframe.
static const int32_t kStates[] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11};

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzFolder = fuzzFolderSetUp("render", true);
  appEnableMessages(false);
  if (!vxmRenderInit()) std::abort();
  // An odd width, so rows do not end on a four-byte boundary, and wide enough for the fills'
  // span groups.
  target = vxmBitmapCreate(161, 121, 24);
  if (!target) std::abort();
  vxmRenderSetTarget(target);
  return 0;
}

// The model turned about X and Y by the input's angles and magnified `zoom` times about the
// centre of the target.
static void fuzzDraw(VxmModel* model, const VxmRenderFit& fit, float turn, float zoom, int32_t state) {
  VxmMatrix step;
  model->matrix = fit.base;
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateX(&step, turn));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateY(&step, turn * 2.5f));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatScale(&step, zoom, zoom, zoom));
  const uint8_t grey[3] = {40, 50, 60};
  vxmBitmapFill(target, grey);
  vxmRenderSetState(state);
  vxmRenderClearDepth();
  vxmRenderModel(model);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzzFolder + "/input.vxm";
  fuzzWrite(input, data, size);
  appHostSetAnswer(size % 2 == 0);
  VxmModel* model = vxmModelLoadVXM("input.vxm");
  if (!model) return 0;
  // On a third of the inputs the texture positions are pushed past the textures' edges, as the
  // editor's texture tools can leave them, so the clamped texel fetch runs too.
  if (size % 3 == 0)
    for (int32_t i = 0; i < model->triCount; ++i)
      for (int k = 0; k < 6; ++k) {
        const int64_t moved = (int64_t)model->tris[i].uv[k] + (k % 2 ? -5 : 7) * 4096 * (k + 1);
        model->tris[i].uv[k] = moved > INT32_MAX ? INT32_MAX : moved < INT32_MIN ? INT32_MIN : (int32_t)moved;
      }
  VxmRenderFit fit;
  vxmRenderFitModel(model, 121, &fit);
  vxmRenderSetViewMatrix(&fit.view);
  const float turn = (float)(size % 97) * 0.13f;
  for (int32_t state : kStates) {
    fuzzDraw(model, fit, turn, 1.0f, state);
    fuzzDraw(model, fit, turn, 1.9f, state);  // corners on and just past the target's edges
    fuzzDraw(model, fit, turn, 3.0e4f, state);
  }
  // Each facet alone over the last frame, as the editor redraws a painted facet, and the
  // selection highlight over its screen corners.
  fuzzDraw(model, fit, turn, 1.0f, VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH);
  VxmMatrix toScreen, screen;
  vxmRenderGetScreenMatrix(&screen);
  vxmMatMultiply(&toScreen, &model->matrix, &screen);
  for (int32_t i = 0; i < model->triCount && i < 64; ++i) {
    vxmRenderModelTri(model, i);
    int32_t corner[3][2];
    for (int k = 0; k < 3; ++k) {
      VxmVector p;
      vxmVtxTransform(&p, &toScreen, &model->vertices[model->tris[i].v[k]], 1);
      // Clamped to a band around the target: the highlight takes pixel positions.
      corner[k][0] = p.x > -1000.0f && p.x < 1000.0f ? (int32_t)p.x : 0;
      corner[k][1] = p.y > -1000.0f && p.y < 1000.0f ? (int32_t)p.y : 0;
    }
    vxmRenderHighlightTri(corner[0][0], corner[0][1], corner[1][0], corner[1][1], corner[2][0], corner[2][1],
                          0x80FF80);
  }
  vxmRenderInvertRect(-5, -5, (int32_t)(size % 80), (int32_t)(size % 60));
  vxmModelFree(model);
  return 0;
}
