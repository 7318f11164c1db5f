// fuzz_object_csv: any bytes as a comma-separated object file; an accepted
// object runs the pipeline.
#include "fuzz_objects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 16))
        return 0;
    const char *path = fuzz_write_input(data, size);
    const Palette pal = fuzz_palette();
    Object3D *obj = nullptr;
    if (object_load_csv(&obj, path, &pal) != 0) {
        if (obj)
            abort();
        return 0;
    }
    fuzz_run_pipeline(obj);
    object_free(&obj);
    return 0;
}
