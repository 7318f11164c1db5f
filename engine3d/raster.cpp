// raster.cpp: the render target that the 3D fillers draw into.
#include "engine3d.h"

static uint8_t *render_target_pixels = nullptr;
static int render_target_width = 0;
static int render_target_height = 0;

void render_set_target(uint8_t *pixels, int width, int height)
{
    render_target_pixels = pixels;
    render_target_width = width;
    render_target_height = height;
}
