// convert.cpp: voxim convert IN OUT: reads any model the library reads (VXM, or 3DS, OBJ, STL
// and glTF by their extensions) and writes it as a VXM file, with imported pictures beside it.
#include <cstdio>

#include "app.h"
#include "commands.h"
#include "vxmModel.h"

int voximConvert(int argc, char** argv) {
  if (argc != 3) return voximUsage("convert IN OUT.vxm");
  VxmModel* model = vxmModelLoad(argv[1]);
  if (!model) return 1;
  bool saved = vxmModelSaveVXM(model, argv[2]);
  if (!saved && appSaveReason()[0]) std::fprintf(stderr, "voxim: %s: %s\n", argv[2], appSaveReason());
  if (saved)
    std::printf("%s: %d vertices, %d facets, %d textures\n", argv[2], (int)model->vertexCount, (int)model->triCount,
                (int)model->textureCount);
  vxmModelFree(model);
  return saved ? 0 : 1;
}
