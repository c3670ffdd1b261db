// SaverScene.cpp: the background picture and the sprite render.
#include "SaverScene.h"

#include "app.h"

bool saverDrawBackground(VxmBitmap* background, const VxmBitmap* picture, bool fullSize,
                         float viewScale, bool tile) {
  if (!background) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  vxmBitmapFill(background, nullptr);
  if (!picture) return true;

  const int32_t W = background->width;
  const int32_t H = background->height;
  int32_t w = picture->width;
  int32_t h = picture->height;
  if (!fullSize) {
    w = (int32_t)((double)picture->width * (double)viewScale);
    h = (int32_t)((double)picture->height * (double)viewScale);
  }
  // A picture that shrinks to nothing in a small preview leaves the background black (and a
  // zero step would never finish the tiling).
  if (w <= 0 || h <= 0) return true;

  bool ok = true;
  auto place = [&](int32_t x, int32_t y) {
    if (fullSize)
      ok = vxmBitmapCopy(background, x, y, w, h, picture, 0, 0) && ok;
    else
      ok = vxmBitmapStretch(background, x, y, w, h, picture, 0, 0, picture->width, picture->height) && ok;
  };
  if (tile) {
    for (int32_t y = 0; y < H; y += h)
      for (int32_t x = 0; x < W; x += w) place(x, y);
  } else {
    place((W - w) >> 1, (H - h) >> 1);
  }
  if (!ok) APP_TRACE("Failed to draw background bitmap");
  return ok;
}

int32_t saverRenderStateFor(const VxmModel* model) {
  if (model && model->vertexNormalCount > 0 && model->vertexNormals)
    return VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_SMOOTH;
  return VXM_RENDER_COLOUR | VXM_RENDER_TEXTURE | VXM_RENDER_LIGHTING;
}

bool saverRenderSprite(VxmModel* model, const VxmRenderFit* fit, const SaverSpin* spin,
                       const SaverMotion* motion, const VxmBitmap* background, VxmBitmap* sprite) {
  return saverRenderSpriteIn(model, fit, spin, motion, 0, 0, background, sprite);
}

bool saverRenderSpriteIn(VxmModel* model, const VxmRenderFit* fit, const SaverSpin* spin, const SaverMotion* motion,
                         int32_t left, int32_t top, const VxmBitmap* background, VxmBitmap* sprite) {
  if (!model || !fit || !spin || !motion || !background || !sprite) {
    APP_TRACE("Invalid Parameters");
    return false;
  }
  VxmMatrix turn;
  model->matrix = fit->base;
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateX(&turn, spin->angle[0]));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateY(&turn, spin->angle[1]));
  vxmMatMultiplyInPlace(&model->matrix, vxmMatRotateZ(&turn, spin->angle[2]));

  // The background is bottom-up: the sprite's top row (top + iy in the window) is background row
  // H - (top + iy) - 1.
  const int32_t S = motion->side;
  vxmBitmapCopy(sprite, 0, 0, S, S, background, left + motion->ix, background->height - (top + motion->iy) - S);
  vxmRenderClearDepth();
  if (!vxmRenderModel(model)) {
    APP_TRACE("Failed to render model");
    return false;
  }
  return true;
}
