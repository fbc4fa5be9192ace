#include "WorkedExample.h"

namespace TvlTest {

using namespace KorvaneGeometry;

void buildWorkedExample(CAD_Assembly& model) {
    model.setSourceSystem("X");
    model.setName("BOX");

    SinglePart part;
    part.name = "BOX";
    part.cti = 600;

    SolidBody& body = part.bodies.emplace_back();
    body.index = 0;
    body.cti = 600;
    body.colour = kNoColour;

    Surface& plane = body.surfaces.emplace_back();
    plane.index = 0;
    plane.cti = 600;
    plane.colour = kNoColour;
    plane.kind = SurfaceKindPlane;
    plane.axis = {0.0, 0.0, 1.0};
    plane.orientationPositive = true;

    body.mesh.addPoint(Point3(0.0, 0.0, 0.0));
    body.mesh.addPoint(Point3(10.0, 0.0, 0.0));
    body.mesh.addPoint(Point3(0.0, 10.0, 0.0));
    body.mesh.addTriangle(Triangle(0, 1, 2, 0));

    model.appendPart(part);
}

// Offsets in the comments are those of the first byte on the line.
const char* const kWorkedExampleHex = R"(
31 2E 35                                    # 0    version text "1.5"
01 00 00 00 58                              # 3    source system "X"
03 00 00 00 42 4F 58                        # 8    name "BOX"
00 00 00 00                                 # 15   node count
01 00 00 00                                 # 19   component count: one made up for the part
03 00 00 00 42 4F 58                        # 23   component name "BOX"
00 00 00 00                                 # 30   reserved string
3x[ 00 00 00 00 00 00 00 00 ]               # 34   colour 0, 0, 0
00 00 00 00 00 00 F0 3F                     # 58   identity, row 0
4x[ 00 00 00 00 00 00 00 00 ]
00 00 00 00 00 00 F0 3F                     #      row 1
4x[ 00 00 00 00 00 00 00 00 ]
00 00 00 00 00 00 F0 3F                     #      row 2
4x[ 00 00 00 00 00 00 00 00 ]
00 00 00 00 00 00 F0 3F                     #      entry 15
01 00 00 00                                 # 186  part count
03 00 00 00 42 4F 58                        # 190  part name "BOX"
58 02 00 00                                 # 197  part CTI 600
00 00 00 00                                 # 201  part attribute count
00 00 00 00                                 # 205  deprecated reference sets
01 00 00 00                                 # 209  body count
00 00 00 00                                 # 213  body name ""
00 00 00 00                                 # 217  body index 0
00 00 00 00 00 00 00 00                     # 221  reserved 0.0
58 02 00 00                                 # 229  body CTI 600
3x[ 00 00 00 00 00 00 F0 BF ]               # 233  body colour -1, -1, -1
00 00 00 00                                 # 257  body attribute count
01 00 00 00                                 # 261  surface count
00 00 00 00                                 # 265  reserved int
00 00 00 00                                 # 269  surface index 0
58 02 00 00                                 # 273  surface CTI 600
3x[ 00 00 00 00 00 00 F0 BF ]               # 277  surface colour -1, -1, -1
01 00 00 00                                 # 301  kind 1, plane
3x[ 00 00 00 00 00 00 00 00 ]               # 305  origin 0, 0, 0
2x[ 00 00 00 00 00 00 00 00 ]               # 329  axis 0, 0,
00 00 00 00 00 00 F0 3F                     #      1
00 00 00 00 00 00 00 00                     # 353  radius 0
00 00 00 00 00 00 00 00                     # 361  second radius 0
01                                          # 369  orientation positive
03 00 00 00                                 # 370  point count
01 00 00 00                                 # 374  triangle count
3x[ 00 00 00 00 00 00 00 00 ]               # 378  point 0, 0, 0
00 00 00 00 00 00 24 40                     # 402  point 10,
2x[ 00 00 00 00 00 00 00 00 ]               #      0, 0
00 00 00 00 00 00 00 00                     # 426  point 0,
00 00 00 00 00 00 24 40                     #      10,
00 00 00 00 00 00 00 00                     #      0
00 00 00 00 01 00 00 00 02 00 00 00         # 450  triangle 0, 1, 2
00 00 00 00                                 # 462  on surface 0
)";

} // namespace TvlTest
