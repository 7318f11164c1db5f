// bench_data.cpp: the parts' benchmarks' common set-up.
#include "bench_data.h"

#include <cstdlib>
#include <filesystem>

Image *bench_parts_setup(void)
{
    static const bool ready = [] {
        trig_build_tables();
        srand(7);
        image_create(&work_image_a, 320, 240);
        image_create(&work_image_b, 320, 240);
        std::filesystem::current_path(SKARN_DATA_DIR);
        return true;
    }();
    (void)ready;
    Image *frame = nullptr;
    image_create(&frame, 320, 240);
    return frame;
}
