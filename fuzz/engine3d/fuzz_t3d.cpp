// fuzz_t3d: any bytes as a .t3d file, loaded with and without a texture
// table and with either winding; an accepted object runs the pipeline.
#include "fuzz_objects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > (1u << 16))
        return 0;
    const uint8_t mode = data[0];
    const char *path = fuzz_write_input(data + 1, size - 1);
    const Palette pal = fuzz_palette();
    static const char *names[2] = {"none", "3d_bb1"};
    static const int32_t sizes[2] = {0, 256};
    Object3D *obj = nullptr;
    const int rc = t3d_load(&obj, path, &pal, mode & 1, (mode & 2) ? names : nullptr, sizes,
                            (mode & 4) ? 2 : 0);
    if (rc != 0) {
        if (obj)
            abort();  // a failure must not hand out an object
        return 0;
    }
    fuzz_run_pipeline(obj);
    object_free(&obj);
    return 0;
}
