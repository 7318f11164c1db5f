// vga_io.cpp: the machine under the real card: I/O ports through ioperm and
// in/out instructions, the 64 KiB window at 0xA0000 through /dev/mem, the
// display device's linear frame buffer through its PCI resource0, and the
// console's KD ioctls. Linked into skarn_svga only.
#include "vga_io.h"

#include <fcntl.h>
#include <glob.h>
#include <linux/kd.h>
#include <sys/io.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

static const size_t io_window_size = 65536;
static volatile uint8_t *io_window = nullptr;

// ---------------------------------------------------------------- ports

int vga_port_access(uint16_t first, unsigned count, int on)
{
    return ioperm(first, count, on) == 0 ? 0 : -1;
}

uint8_t vga_port_in(uint16_t port)
{
    return inb(port);
}

void vga_port_out(uint16_t port, uint8_t value)
{
    outb(value, port);
}

uint16_t vga_port_inw(uint16_t port)
{
    return inw(port);
}

void vga_port_outw(uint16_t port, uint16_t value)
{
    outw(value, port);
}

// ---------------------------------------------------------------- video memory

int vga_map_window(void)
{
    const int mem = open("/dev/mem", O_RDWR | O_SYNC | O_CLOEXEC);
    if (mem < 0)
        return -1;
    void *p = mmap(nullptr, io_window_size, PROT_READ | PROT_WRITE, MAP_SHARED, mem, 0xA0000);
    close(mem);
    if (p == MAP_FAILED)
        return -1;
    io_window = (volatile uint8_t *)p;
    return 0;
}

void vga_unmap_window(void)
{
    if (io_window)
        munmap((void *)io_window, io_window_size);
    io_window = nullptr;
}

void vga_window_read(size_t offset, uint32_t *words, size_t count)
{
    const volatile uint32_t *src = (const volatile uint32_t *)(io_window + offset);
    for (size_t k = 0; k < count; k++)
        words[k] = src[k];
}

void vga_window_write(size_t offset, const uint32_t *words, size_t count)
{
    volatile uint32_t *dst = (volatile uint32_t *)(io_window + offset);
    for (size_t k = 0; k < count; k++)
        dst[k] = words[k];
}

void vga_window_fill(size_t offset, uint32_t word, size_t count)
{
    volatile uint32_t *dst = (volatile uint32_t *)(io_window + offset);
    for (size_t k = 0; k < count; k++)
        dst[k] = word;
}

uint8_t *vga_map_lfb(size_t *size)
{
    glob_t found;
    if (glob("/sys/bus/pci/devices/*/class", 0, nullptr, &found) != 0)
        return nullptr;
    char chosen[4096] = "";
    for (size_t i = 0; i < found.gl_pathc; i++) {
        char text[32] = "";
        FILE *f = fopen(found.gl_pathv[i], "r");
        if (!f)
            continue;
        const bool read = fgets(text, sizeof text, f) != nullptr;
        fclose(f);
        if (!read || strncmp(text, "0x0300", 6) != 0)
            continue;  // not a VGA-compatible display controller
        snprintf(chosen, sizeof chosen, "%s", found.gl_pathv[i]);
        // The one the firmware booted on wins over any other.
        char boot[4096];
        snprintf(boot, sizeof boot, "%.*sboot_vga", (int)(strlen(chosen) - strlen("class")), chosen);
        f = fopen(boot, "r");
        const bool primary = f && fgetc(f) == '1';
        if (f)
            fclose(f);
        if (primary)
            break;
    }
    globfree(&found);
    if (!chosen[0])
        return nullptr;
    strcpy(chosen + strlen(chosen) - strlen("class"), "resource0");
    const int fd = open(chosen, O_RDWR | O_SYNC | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_size <= 0) {
        close(fd);
        return nullptr;
    }
    void *p = mmap(nullptr, (size_t)st.st_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return nullptr;
    *size = (size_t)st.st_size;
    return (uint8_t *)p;
}

void vga_unmap_lfb(uint8_t *lfb, size_t size)
{
    if (lfb)
        munmap(lfb, size);
}

// ---------------------------------------------------------------- console

int vga_console_find(void)
{
    int mode = 0;
    for (int fd : {1, 2, 0})
        if (ioctl(fd, KDGETMODE, &mode) == 0)
            return mode == KD_TEXT ? fcntl(fd, F_DUPFD_CLOEXEC, 3) : -1;
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty >= 0 && ioctl(tty, KDGETMODE, &mode) == 0 && mode == KD_TEXT)
        return tty;
    if (tty >= 0)
        close(tty);
    return -1;
}

int vga_console_usable_after_drop(int console)
{
    // The kernel sets a console's mode for the process whose controlling
    // terminal it is, or for one holding CAP_SYS_TTY_CONFIG, which goes
    // with the drop to any real user but root.
    if (tcgetsid(console) == getsid(0))
        return 1;
    if (getuid() != 0)
        return 0;
    // Root stays root: asking now for the text mode it already has tells.
    return ioctl(console, KDSETMODE, KD_TEXT) == 0;
}

int vga_console_graphics(int console, int on)
{
    return ioctl(console, KDSETMODE, on ? KD_GRAPHICS : KD_TEXT) == 0 ? 0 : -1;
}

void vga_console_close(int console)
{
    close(console);
}
