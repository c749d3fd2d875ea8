// EGL backend of the display-less GL context: the surfaceless platform of Mesa, a pbuffer as the
// default framebuffer, and the entry points looked up through EGL while it is current.
#include "platform/headless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <stdio.h>
#include <string.h>

#include "platform/platform.h"

struct HeadlessState {
    EGLDisplay display;
    EGLSurface surface;
    EGLContext context;
    char error[256];
};

static HeadlessState headless = {EGL_NO_DISPLAY, EGL_NO_SURFACE, EGL_NO_CONTEXT, ""};

static int headless_fail(const char* what) {
    snprintf(headless.error, sizeof headless.error, "%s (EGL error 0x%04x)", what, (unsigned)eglGetError());
    headless_close();
    return 0;
}

static void* headless_proc_address(const char* name) { return (void*)eglGetProcAddress(name); }

static void headless_present() { eglSwapBuffers(headless.display, headless.surface); }

static const PlatGlBackend HEADLESS_BACKEND = {headless_proc_address, headless_present};

// The first config with exactly 8 bits per colour (EGL sorts deeper colour first), alpha as asked.
static EGLConfig choose_config(EGLDisplay display, int alpha) {
    const EGLint want[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                           EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, alpha, EGL_NONE};
    EGLConfig configs[128];
    EGLint count = 0;
    if (!eglChooseConfig(display, want, configs, 128, &count)) return nullptr;
    for (EGLint i = 0; i < count; ++i) {
        EGLint r = 0, g = 0, b = 0;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &b);
        if (r == 8 && g == 8 && b == 8) return configs[i];
    }
    return nullptr;
}

int headless_open(int width, int height) {
    headless.error[0] = '\0';
    if (headless.display != EGL_NO_DISPLAY) {
        snprintf(headless.error, sizeof headless.error, "a headless GL context is already open");
        return 0;
    }
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!client || !strstr(client, "EGL_MESA_platform_surfaceless")) return headless_fail("EGL has no surfaceless platform");
    PFNEGLGETPLATFORMDISPLAYEXTPROC get_display =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    if (!get_display) return headless_fail("EGL lacks eglGetPlatformDisplayEXT");
    headless.display = get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (headless.display == EGL_NO_DISPLAY || !eglInitialize(headless.display, &major, &minor)) {
        headless.display = EGL_NO_DISPLAY;
        return headless_fail("cannot initialise the surfaceless EGL display");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return headless_fail("EGL offers no desktop OpenGL");
    // Alpha as the show's window asks for it, so the feedback copy carries the same channels.
    EGLConfig config = choose_config(headless.display, 8);
    if (!config) config = choose_config(headless.display, 0);
    if (!config) return headless_fail("EGL has no 8-bit RGB pbuffer config for desktop OpenGL");
    const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    headless.surface = eglCreatePbufferSurface(headless.display, config, size);
    if (headless.surface == EGL_NO_SURFACE) return headless_fail("cannot create the pbuffer surface");
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    headless.context = eglCreateContext(headless.display, config, EGL_NO_CONTEXT, attributes);
    if (headless.context == EGL_NO_CONTEXT) return headless_fail("cannot create a compatibility-profile GL context");
    if (!eglMakeCurrent(headless.display, headless.surface, headless.surface, headless.context))
        return headless_fail("cannot make the GL context current");
    plat_gl_backend_use(&HEADLESS_BACKEND);
    return 1;
}

void headless_close() {
    if (headless.display == EGL_NO_DISPLAY) return;
    plat_gl_backend_use(nullptr);
    eglMakeCurrent(headless.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (headless.context != EGL_NO_CONTEXT) eglDestroyContext(headless.display, headless.context);
    if (headless.surface != EGL_NO_SURFACE) eglDestroySurface(headless.display, headless.surface);
    eglTerminate(headless.display);
    headless.display = EGL_NO_DISPLAY;
    headless.surface = EGL_NO_SURFACE;
    headless.context = EGL_NO_CONTEXT;
}

const char* headless_error() { return headless.error; }
