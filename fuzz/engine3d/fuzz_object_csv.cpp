// fuzz_object_csv: a draw byte (fuzz_objects.h) and then any bytes as a
// comma-separated object file; an accepted object runs the pipeline and is
// drawn.
#include "fuzz_objects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > (1u << 16))
        return 0;
    const char *path = fuzz_write_input(data + 1, size - 1);
    Object3D *obj = nullptr;
    if (object_load_csv(&obj, path, fuzz_palette()) != 0) {
        if (obj)
            abort();
        return 0;
    }
    fuzz_run_pipeline(obj, data[0]);
    object_free(&obj);
    return 0;
}
