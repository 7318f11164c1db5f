// fb_device.h: every platform call of the framebuffer back end, one
// function each: the console on standard output, the frame-buffer device,
// and the pause after the open. skarn_fb links the Linux implementation
// (fb_device_linux.cpp); the tests link a fake that holds a screen in
// memory and logs every call.
#pragma once

#include <cstddef>
#include <linux/fb.h>
#include <linux/kd.h>
#include <linux/vt.h>

// ttyname of standard output, or NULL when it is no terminal.
const char *fbdev_tty_name(void);
// VT_SETMODE and VT_RELDISP on the console of standard output; 0 or -1.
int fbdev_set_vt_mode(const struct vt_mode *mode);
int fbdev_release_vt(int answer);
// KDSETMODE on that console: KD_GRAPHICS keeps the console's text off the
// screen, KD_TEXT makes it paint its text again; 0 or -1.
int fbdev_set_kd_mode(int mode);

// The frame-buffer device: open read-write (a descriptor or -1), the two
// screen-information reads and the colour-map read and write (0 or -1),
// the shared read-write mapping of len bytes from offset 0 (NULL on
// failure), its unmapping, and the close.
int fbdev_open(const char *path);
int fbdev_get_fixed(int fd, struct fb_fix_screeninfo *fix);
int fbdev_get_variable(int fd, struct fb_var_screeninfo *var);
int fbdev_get_cmap(int fd, struct fb_cmap *cmap);
int fbdev_put_cmap(int fd, struct fb_cmap *cmap);
void *fbdev_map(int fd, size_t len);
void fbdev_unmap(void *addr, size_t len);
void fbdev_close(int fd);

// Sleeps the given nanoseconds (less than a second).
void fbdev_pause(long nanoseconds);
