// The seam between the scan converters and the 3D device: while a device
// draws into page 0, each member hands its polygon over as one triangle fan
// with the settings that reproduce the member's own behaviour.
#ifndef BV_RASTER_DEVICE_PATH_H
#define BV_RASTER_DEVICE_PATH_H

#include <cstdint>

#include "brivondel.h"
#include "platform/platform.h"
#include "state.h"

namespace bv {

// Which member hands the polygon over: it decides perspective correction,
// the depth test and the culling of counter-clockwise polygons.
enum class RasterMember { PerspectiveDepth, Perspective, AffineDepth, Affine };

// The fan the members fill, one record per vertex; every polygon overwrites it.
extern plat::TLVertex tl_vertices[MAX_POLYGON_VERTICES];

// Draws n vertices as one fan on the device. `cam` is null for the affine
// member without depth, which reads no z.
void draw_on_device(RasterMember member, const ScreenPoint *pts, const TexCoord *tex, const Vertex3 *cam, uint32_t n);

}  // namespace bv

#endif
