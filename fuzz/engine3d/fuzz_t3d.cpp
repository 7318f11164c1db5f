// fuzz_t3d: a mode byte, a draw byte (fuzz_objects.h) and then any bytes as
// a .t3d file, loaded with and without a texture table and with either
// winding (mode bits 0-2); an accepted object runs the pipeline and is drawn.
#include "fuzz_objects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2 || size > (1u << 16))
        return 0;
    const uint8_t mode = data[0];
    const char *path = fuzz_write_input(data + 2, size - 2);
    static const char *names[2] = {"none", "3d_bb1"};
    static const int32_t sizes[2] = {0, 256};
    Object3D *obj = nullptr;
    const int rc = t3d_load(&obj, path, fuzz_palette(), mode & 1, (mode & 2) ? names : nullptr, sizes,
                            (mode & 4) ? 2 : 0);
    if (rc != 0) {
        if (obj)
            abort();  // a failure must not hand out an object
        return 0;
    }
    fuzz_run_pipeline(obj, data[1]);
    object_free(&obj);
    return 0;
}
