// engine3d.h: the 3D engine's chief header.
#pragma once

#include "../runtime/skarn.h"

#include "matrix.h"  // 4x4 float matrices
#include "object.h"  // Object3D model, geometry and object file loaders
#include "view.h"    // camera, culling, near-plane clipping, projection
#include "raster.h"  // render target, triangle and span fillers
#include "span.h"    // span fillers of the textured triangle fillers
#include "render.h"  // depth sort and object renderers
