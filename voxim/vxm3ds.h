// vxm3ds.h: the 3DS reader's own helpers beyond vxmModelLoad3DS (declared in vxmModel.h).
#pragma once

#include <cstdint>

// Runs only the reader's counting pass over a 3DS file: the vertices and faces the import
// would hold before every facet is doubled. The command-line tool and the tests call it to
// compare our reading with other readers. False (with the load's trace lines) when the file
// cannot be found or opened.
bool vxm3dsCount(const char* fileName, int32_t* vertices, int32_t* faces);
