// fb_device_linux.cpp: the framebuffer back end's platform calls on Linux:
// the virtual-terminal ioctls on standard output, /dev/fb0's ioctls and
// mapping, nanosleep. Each is the bare call; the back end decides what a
// failure means.
#include "fb_device.h"

#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

const char *fbdev_tty_name(void)
{
    return ttyname(STDOUT_FILENO);
}

int fbdev_set_vt_mode(const struct vt_mode *mode)
{
    return ioctl(STDOUT_FILENO, VT_SETMODE, mode) == -1 ? -1 : 0;
}

int fbdev_release_vt(int answer)
{
    return ioctl(STDOUT_FILENO, VT_RELDISP, answer) == -1 ? -1 : 0;
}

int fbdev_set_kd_mode(int mode)
{
    return ioctl(STDOUT_FILENO, KDSETMODE, mode) == -1 ? -1 : 0;
}

int fbdev_open(const char *path)
{
    return open(path, O_RDWR);
}

int fbdev_get_fixed(int fd, struct fb_fix_screeninfo *fix)
{
    return ioctl(fd, FBIOGET_FSCREENINFO, fix) == 0 ? 0 : -1;
}

int fbdev_get_variable(int fd, struct fb_var_screeninfo *var)
{
    return ioctl(fd, FBIOGET_VSCREENINFO, var) == 0 ? 0 : -1;
}

int fbdev_get_cmap(int fd, struct fb_cmap *cmap)
{
    return ioctl(fd, FBIOGETCMAP, cmap) == -1 ? -1 : 0;
}

int fbdev_put_cmap(int fd, struct fb_cmap *cmap)
{
    return ioctl(fd, FBIOPUTCMAP, cmap) == -1 ? -1 : 0;
}

void *fbdev_map(int fd, size_t len)
{
    void *addr = mmap(nullptr, len, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return addr == MAP_FAILED ? nullptr : addr;
}

void fbdev_unmap(void *addr, size_t len)
{
    munmap(addr, len);
}

void fbdev_close(int fd)
{
    close(fd);
}

void fbdev_pause(long nanoseconds)
{
    struct timespec pause = {0, nanoseconds};
    nanosleep(&pause, nullptr);
}
