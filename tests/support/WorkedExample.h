// The single-part model whose exchange file is known byte by byte (466 bytes), and that file
// as hex written by hand from the file layout.
#pragma once

#include "CAD_Assembly.h"

namespace TvlTest {

// Source system "X", name "BOX", no nodes or components, one part BOX (CTI 600) with one body
// holding one plane surface and one triangle.
void buildWorkedExample(KorvaneGeometry::CAD_Assembly& model);

extern const char* const kWorkedExampleHex;

} // namespace TvlTest
