// fake_fb_device.cpp: the in-memory frame-buffer console of the tests.
#include "fake_fb_device.h"

#include <csignal>
#include <cstring>
#include <unistd.h>

FakeFb fake_fb;
void (*fake_fb_hook)(const std::string &entry) = nullptr;

static const int fake_fd = 7;

void fake_fb_reset(int xres, int yres, int bpp, int pad, int xoffset, int yoffset)
{
    fake_fb.tty = "/dev/tty1";
    memset(&fake_fb.fixed, 0, sizeof fake_fb.fixed);
    memset(&fake_fb.variable, 0, sizeof fake_fb.variable);
    strcpy(fake_fb.fixed.id, "fake fb");
    fake_fb.fixed.type = FB_TYPE_PACKED_PIXELS;
    fake_fb.fixed.visual = bpp == 8 ? FB_VISUAL_PSEUDOCOLOR : FB_VISUAL_TRUECOLOR;
    fake_fb.fixed.line_length = (uint32_t)((xoffset + xres) * bpp / 8 + pad);
    fake_fb.fixed.smem_len = fake_fb.fixed.line_length * (uint32_t)(yoffset + yres);
    fake_fb.variable.xres = (uint32_t)xres;
    fake_fb.variable.yres = (uint32_t)yres;
    fake_fb.variable.xoffset = (uint32_t)xoffset;
    fake_fb.variable.yoffset = (uint32_t)yoffset;
    fake_fb.variable.bits_per_pixel = (uint32_t)bpp;
    if (bpp == 16) {
        fake_fb.variable.red = {11, 5, 0};
        fake_fb.variable.green = {5, 6, 0};
        fake_fb.variable.blue = {0, 5, 0};
    } else if (bpp == 32) {
        fake_fb.variable.red = {16, 8, 0};
        fake_fb.variable.green = {8, 8, 0};
        fake_fb.variable.blue = {0, 8, 0};
    }
    fake_fb.memory.assign(fake_fb.fixed.smem_len, 0xEE);
    for (int i = 0; i < 256; i++) {
        fake_fb.cmap[i] = (uint16_t)(i << 8);
        fake_fb.cmap[256 + i] = (uint16_t)((255 - i) << 8);
        fake_fb.cmap[512 + i] = (uint16_t)((i ^ 0x5A) << 8);
    }
    fake_fb.puts.clear();
    fake_fb.failing = 0;
    fake_fb.log.clear();
    fake_fb.echo = false;
    fake_fb_hook = nullptr;
}

std::string fake_fb_calls(void)
{
    std::string all;
    for (const std::string &entry : fake_fb.log)
        all += (all.empty() ? "" : " ") + entry;
    return all;
}

static void fake_log(const std::string &entry)
{
    fake_fb.log.push_back(entry);
    if (fake_fb.echo) {
        const std::string line = "[" + entry + "]";
        (void)!write(STDOUT_FILENO, line.data(), line.size());
    }
    if (fake_fb_hook)
        fake_fb_hook(entry);
}

// Logs one call; true when the test made it fail.
static bool fake_call(FakeFbCall call, const std::string &entry)
{
    fake_log(entry);
    return fake_fb.failing & (1u << call);
}

const char *fbdev_tty_name(void)
{
    fake_log("ttyname");
    return fake_fb.tty.empty() ? nullptr : fake_fb.tty.c_str();
}

int fbdev_set_vt_mode(const struct vt_mode *mode)
{
    const bool process = mode->mode == VT_PROCESS && mode->relsig == SIGUSR1 && mode->acqsig == SIGUSR2;
    return fake_call(FAKE_SET_VT_MODE, process ? "process" : mode->mode == VT_AUTO ? "auto" : "vt-mode?") ? -1 : 0;
}

int fbdev_release_vt(int answer)
{
    return fake_call(FAKE_RELEASE_VT, "release " + std::to_string(answer)) ? -1 : 0;
}

int fbdev_open(const char *path)
{
    return fake_call(FAKE_OPEN, std::string("open ") + path) ? -1 : fake_fd;
}

int fbdev_get_fixed(int fd, struct fb_fix_screeninfo *fix)
{
    if (fake_call(FAKE_GET_FIXED, "fixed") || fd != fake_fd)
        return -1;
    *fix = fake_fb.fixed;
    return 0;
}

int fbdev_get_variable(int fd, struct fb_var_screeninfo *var)
{
    if (fake_call(FAKE_GET_VARIABLE, "variable") || fd != fake_fd)
        return -1;
    *var = fake_fb.variable;
    return 0;
}

static bool fake_cmap_fits(const struct fb_cmap *cmap)
{
    return cmap->start == 0 && cmap->len == 256 && cmap->red && cmap->green && cmap->blue;
}

int fbdev_get_cmap(int fd, struct fb_cmap *cmap)
{
    if (fake_call(FAKE_GET_CMAP, "getcmap") || fd != fake_fd || !fake_cmap_fits(cmap))
        return -1;
    memcpy(cmap->red, &fake_fb.cmap[0], 512);
    memcpy(cmap->green, &fake_fb.cmap[256], 512);
    memcpy(cmap->blue, &fake_fb.cmap[512], 512);
    if (cmap->transp)
        memset(cmap->transp, 0, 512);
    return 0;
}

int fbdev_put_cmap(int fd, struct fb_cmap *cmap)
{
    if (fake_call(FAKE_PUT_CMAP, "putcmap") || fd != fake_fd || !fake_cmap_fits(cmap))
        return -1;
    memcpy(&fake_fb.cmap[0], cmap->red, 512);
    memcpy(&fake_fb.cmap[256], cmap->green, 512);
    memcpy(&fake_fb.cmap[512], cmap->blue, 512);
    fake_fb.puts.push_back(fake_fb.cmap);
    return 0;
}

void *fbdev_map(int fd, size_t len)
{
    if (fake_call(FAKE_MAP, "map " + std::to_string(len)) || fd != fake_fd || len != fake_fb.memory.size() ||
        len == 0)
        return nullptr;
    return fake_fb.memory.data();
}

void fbdev_unmap(void *addr, size_t len)
{
    const bool whole = addr == fake_fb.memory.data() && len == fake_fb.memory.size();
    fake_log(whole ? "unmap" : "unmap?");
}

void fbdev_close(int fd)
{
    fake_log(fd == fake_fd ? "close" : "close?");
}

void fbdev_pause(long nanoseconds)
{
    fake_log("pause " + std::to_string(nanoseconds));
}
