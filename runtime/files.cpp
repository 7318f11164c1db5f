// files.cpp: whole-file reading and writing over stdio, with the runtime's
// fixed set of messages.
#include "skarn.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

long file_size(FILE *f)
{
    long here = ftell(f);
    if (here < 0 || fseek(f, 0, SEEK_END) != 0)
        return -1;
    long size = ftell(f);
    fseek(f, here, SEEK_SET);
    return size;
}

static FILE *file_open(const char *path, const char *mode)
{
    FILE *f = fopen(path, mode);
    if (!f)
        printf("Error opening %s: %s\n", path, strerror(errno));
    return f;
}

FILE *file_open_write(const char *path)
{
    return file_open(path, "wb");
}

FILE *file_open_read(const char *path)
{
    return file_open(path, "rb");
}

int file_read_exact(FILE *f, void *buf, int len)
{
    if (len < 0 || fread(buf, 1, (size_t)len, f) != (size_t)len) {
        printf("File read failure\n");
        return -1;
    }
    return 0;
}

int file_write_exact(FILE *f, const void *buf, int len)
{
    if (len < 0 || fwrite(buf, 1, (size_t)len, f) != (size_t)len) {
        printf("File write failure\n");
        return -1;
    }
    return 0;
}

int file_exists(const char *path)
{
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    fclose(f);
    return 1;
}

int file_read_all(const char *path, char **out)
{
    *out = nullptr;
    FILE *f = fopen(path, "rb");
    if (!f)
        return -1;
    // Only a regular file has a size to read; a FIFO or a directory cannot
    // be measured and counts as a short read. Files past 2 GiB do not fit
    // the int result.
    struct stat st;
    long size = -1;
    if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode))
        size = file_size(f);
    if (size < 0 || size > 0x7FFFFFFE) {
        printf("File read failure\n");
        fclose(f);
        return -2;
    }
    char *block = (char *)malloc((size_t)size + 1);
    if (!block) {
        fclose(f);
        return -2;
    }
    block[size] = 0;
    if (fread(block, 1, (size_t)size, f) != (size_t)size) {
        printf("File read failure\n");
        fclose(f);
        free(block);
        return -2;
    }
    fclose(f);
    *out = block;
    return (int)size;
}

int file_write_all(const char *path, const void *buf, int len)
{
    FILE *f = file_open_write(path);
    if (!f)
        return -1;
    if (len < 0 || fwrite(buf, 1, (size_t)len, f) != (size_t)len) {
        printf("File write failure\n");
        fclose(f);
        return -2;
    }
    if (fclose(f) != 0) {
        printf("File write failure\n");
        return -2;
    }
    return 0;
}
