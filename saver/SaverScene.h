// SaverScene.h: what the saver draws with VOXIM alone: the background picture and one rendered
// sprite. The window layer copies the results to the screen.
#pragma once

#include <cstdint>

#include "SaverMotion.h"
#include "voxim.h"

// Draws the picture into the background (already W x H, 24 bits): black first, then the
// picture tiled from the bottom-left or centred; in the preview (not full size) scaled by
// viewScale with nearest-pixel stretching. A null picture leaves the background black.
bool saverDrawBackground(VxmBitmap* background, const VxmBitmap* picture, bool fullSize,
                         float viewScale, bool tile);

// The render state the saver uses for a model: smooth shading when it has vertex normals.
int32_t saverRenderStateFor(const VxmModel* model);

// One sprite: the model's matrix from the fit's base matrix (vxmRenderFitModel) and the three
// spin angles, the background under the sprite copied into the sprite bitmap, then the model
// rendered over it.
bool saverRenderSprite(VxmModel* model, const VxmRenderFit* fit, const SaverSpin* spin,
                       const SaverMotion* motion, const VxmBitmap* background, VxmBitmap* sprite);
// The same for a sprite moving within an area of the window whose top left is at left, top: the
// motion counts from the area's corner, the background is the whole window's.
bool saverRenderSpriteIn(VxmModel* model, const VxmRenderFit* fit, const SaverSpin* spin, const SaverMotion* motion,
                         int32_t left, int32_t top, const VxmBitmap* background, VxmBitmap* sprite);
