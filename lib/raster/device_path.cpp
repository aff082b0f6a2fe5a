// The device path of the scan converters, for builds without a 3D device:
// device_kind never rises above 0, so nothing reaches it.
#include "raster/device_path.h"

namespace bv {

void draw_on_device(RasterMember, const ScreenPoint *, const TexCoord *, const Vertex3 *, uint32_t) {}

}  // namespace bv
