// loaders.cpp: the .t3d and comma-separated object file loaders.
#include "object.h"

int32_t t3d_load(Object3D **out, const char *, const Palette *, uint8_t, const char **,
                 const int32_t *, uint8_t)
{
    *out = nullptr;
    return -1;
}

int32_t object_load_csv(Object3D **out, const char *, const Palette *)
{
    *out = nullptr;
    return -1;
}
