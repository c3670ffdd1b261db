// vxmImport.h: the readers of today's model files (STL, OBJ with MTL, glTF 2.0), which
// vxmModelLoad chooses by extension as it does the 3DS reader, and what they share with callers:
// their limit and the reason for the last refused import.
#pragma once

#include <cstdint>

#include "vxmModel.h"

enum {
  // Facets of an imported model once double-sided. The editor keeps a second facet table beside
  // the model's, so two tables of this size (68 bytes a facet) must fit a 32-bit process beside
  // the file's own bytes: about 136 MB each. One million triangles made double-sided fit.
  VXM_IMPORT_MAX_FACETS = 2000000,
  // Vertices: three for every triangle of the largest model.
  VXM_IMPORT_MAX_VERTICES = 3000000,
  // Bytes of a model file or of a file it names (MTL, glTF buffers) read whole into memory.
  VXM_IMPORT_MAX_FILE = 512 * 1024 * 1024,
  // Pixels of a side of a texture picture: twelve of the largest take 144 MB.
  VXM_IMPORT_MAX_PICTURE = 2048,
};

// Each returns a new double-sided model (fileName "Untitled.vxm") or null, with the reason in
// vxmImportReason. Called by vxmModelLoad for ".stl", ".obj", ".gltf" and ".glb".
VxmModel* vxmModelLoadSTL(const char* fileName);
VxmModel* vxmModelLoadOBJ(const char* fileName);
VxmModel* vxmModelLoadGLTF(const char* fileName);

// The words a person is shown for the last refused import ("The file makes 2400000 facets once
// double-sided; a model may have at most 2000000."), or "" when the last load was not refused
// by an import reader. vxmModelLoad clears it; the editor adds it to its failure message.
const char* vxmImportReason(void);
void vxmImportClearReason(void);

// The triangles the last import that succeeded took from its file, before double-siding: what
// other programs count for the same file. The tests and the command-line tool compare it.
int64_t vxmImportTriangles(void);

// Called by the VXM writer before it writes a model: each texture whose picture came from an
// imported PNG or JPEG (its path does not end in ".bmp") is written as a 24-bit BMP file beside
// the model, "<model>-1.bmp", "<model>-2.bmp", ... (a name that holds a different picture is
// passed over; one that holds the same picture is used again), through the safe-save service,
// and its slot's path becomes that file's. False (traced) when a picture cannot be written.
bool vxmImportWritePictures(VxmModel* model, const char* fileName);
