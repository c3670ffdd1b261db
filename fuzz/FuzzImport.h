// FuzzImport.h: what the import readers' fuzz targets share: each input written under the names
// the reader reads (the model and the files it may name beside it), loaded through vxmModelLoad,
// and every model it yields checked: facets inside the vertex table, textured corners inside
// their picture, finite vertices, a reason for every refusal, no leak.
#pragma once

#include <cmath>
#include <initializer_list>

#include "FuzzFolder.h"
#include "vxmImport.h"
#include "vxmMem.h"
#include "vxmModel.h"

inline void fuzzImport(const std::string& folder, const char* model, std::initializer_list<const char*> beside,
                       const uint8_t* data, size_t size) {
  fuzzWrite(folder + "/" + model, data, size);
  for (const char* name : beside) fuzzWrite(folder + "/" + name, data, size);
  const long live = vxmMemLiveBlocks();
  VxmModel* loaded = vxmModelLoad(model);
  if (loaded) {
    if (loaded->vertexCount < 1 || loaded->triCount < 1 || loaded->triCount > VXM_IMPORT_MAX_FACETS) std::abort();
    for (int32_t i = 0; i < loaded->vertexCount; ++i) {
      const VxmVector& v = loaded->vertices[i];
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) std::abort();
    }
    for (int32_t i = 0; i < loaded->triCount; ++i) {
      const VxmTri& tri = loaded->tris[i];
      if (!vxmModelTriCornersValid(loaded, &tri)) std::abort();
      if (!tri.texture) continue;
      // The texture rule: every corner of a textured facet inside its picture.
      bool slot = false;
      for (int32_t s = 0; s < loaded->textureCount; ++s) slot = slot || loaded->textures[s].bitmap == tri.texture;
      if (!slot) std::abort();
      for (int k = 0; k < 3; ++k)
        if (tri.uv[2 * k] < 0 || tri.uv[2 * k] >= tri.texture->width * 4096 || tri.uv[2 * k + 1] < 0 ||
            tri.uv[2 * k + 1] >= tri.texture->height * 4096)
          std::abort();
    }
    vxmModelFree(loaded);
  } else if (!vxmImportReason()[0]) {
    std::abort();
  }
  if (vxmMemLiveBlocks() != live) std::abort();
}
