// voxim.h: the whole VOXIM library for the programs: maths, bitmaps, models, lighting, renderer.
#pragma once

#include "vxmBitmap.h"
#include "vxmLight.h"
#include "vxmMath.h"
#include "vxmModel.h"
#include "vxmRender.h"
#include "vxmSelect.h"
