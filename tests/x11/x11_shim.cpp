// x11_shim.cpp: a preload library that makes one step of the X11 back
// end's set-up fail, chosen by SKARN_X11_SHIM: "shmat" (the segment cannot
// be attached here), "attach" (the server refuses the segment, as a remote
// server does) or "image" (no ordinary image can be made).
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <dlfcn.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

static bool shim_is(const char *what)
{
    const char *v = getenv("SKARN_X11_SHIM");
    return v && strcmp(v, what) == 0;
}

extern "C" void *shmat(int id, const void *addr, int flags)
{
    if (shim_is("shmat")) {
        errno = EACCES;
        return (void *)-1;
    }
    using Real = void *(*)(int, const void *, int);
    static Real real = (Real)dlsym(RTLD_NEXT, "shmat");
    return real(id, addr, flags);
}

extern "C" Bool XShmAttach(Display *dpy, XShmSegmentInfo *info)
{
    using Real = Bool (*)(Display *, XShmSegmentInfo *);
    static Real real = (Real)dlsym(RTLD_NEXT, "XShmAttach");
    if (!shim_is("attach"))
        return real(dpy, info);
    // A segment id the server cannot reach: it answers with an error.
    const int id = info->shmid;
    info->shmid = 0x7ffffff0;
    const Bool r = real(dpy, info);
    info->shmid = id;
    return r;
}

extern "C" XImage *XCreateImage(Display *dpy, Visual *v, unsigned depth, int format, int offset, char *data,
                                unsigned w, unsigned h, int pad, int bpl)
{
    if (shim_is("image"))
        return nullptr;
    using Real = XImage *(*)(Display *, Visual *, unsigned, int, int, char *, unsigned, unsigned, int, int);
    static Real real = (Real)dlsym(RTLD_NEXT, "XCreateImage");
    return real(dpy, v, depth, format, offset, data, w, h, pad, bpl);
}
