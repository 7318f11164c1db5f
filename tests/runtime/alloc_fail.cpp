// alloc_fail.cpp: an image_create that fails on a chosen call, compiled into
// a copy of main for the failed-allocation test (SKARN_FAIL_CREATE=N fails
// the N-th call with -2, as when the pixels cannot be allocated).
#include "skarn.h"

#include <cstdlib>

int failing_image_create(Image **out, int width, int height)
{
    static int calls = 0;
    const char *n = getenv("SKARN_FAIL_CREATE");
    if (n && ++calls == atoi(n)) {
        image_create(out, 0, 0);
        return -2;
    }
    return image_create(out, width, height);
}
