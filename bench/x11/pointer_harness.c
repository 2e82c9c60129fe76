/* Times a cursor hider from outside, as a native X11 client sees it: types a key with XTest and
 * polls the pointer until it reaches the bottom-right corner, then moves the pointer with XTest
 * and polls until it is back where it was. Built for the host, not for Windows.
 *
 * Usage: pointer_harness SAMPLES X Y [FOCUS_WINDOW]
 *   X Y           where the pointer starts each sample and must come back to; the motion goes
 *                 10 px right and down from there
 *   FOCUS_WINDOW  an X window id to give the keyboard focus (a Wine application's window,
 *                 which is also clicked once at X Y so that Wine activates it)
 * Prints one line per sample, "hide_us restore_us", or "timeout" when the pointer did not
 * arrive within two seconds. */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static double Microseconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

static void Pointer(Display* display, int* x, int* y)
{
    Window root, child;
    int windowX, windowY;
    unsigned int mask;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, x, y, &windowX, &windowY, &mask);
}

/* Polls until the pointer is in the corner (corner != 0) or at (x, y); the time taken, or -1. */
static double AwaitPointer(Display* display, double start, int corner, int x, int y)
{
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    for (;;) {
        int px, py;
        Pointer(display, &px, &py);
        const double now = Microseconds();
        if (corner ? px >= width - 3 && py >= height - 3 : px == x && py == y) return now - start;
        if (now - start > 2e6) return -1;
    }
}

/* A window that has gone (Wine may replace an application's X window) is no reason to stop. */
static int IgnoreError(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

/* Lets the hider and the applications take what the last step left them. */
static void Settle(void) { usleep(30000); }

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: pointer_harness SAMPLES X Y [FOCUS_WINDOW]\n");
        return 2;
    }
    const int samples = atoi(argv[1]), x = atoi(argv[2]), y = atoi(argv[3]);
    const Window focus = argc > 4 ? strtoul(argv[4], NULL, 0) : None;
    Display* display = XOpenDisplay(NULL);
    if (!display) return 2;
    XSetErrorHandler(IgnoreError);
    const KeyCode key = XKeysymToKeycode(display, XK_k);
    const Window root = DefaultRootWindow(display);

    if (focus != None) {
        /* Wine sends X keys to the window that Wine itself has activated: a click does that. */
        XWarpPointer(display, None, root, 0, 0, 0, 0, x, y);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        usleep(300000);
    }
    for (int i = 0; i < samples; ++i) {
        if (focus != None) XSetInputFocus(display, focus, RevertToParent, CurrentTime);
        XWarpPointer(display, None, root, 0, 0, 0, 0, x, y);
        XSync(display, False);
        Settle();

        double start = Microseconds();
        XTestFakeKeyEvent(display, key, True, CurrentTime);
        XFlush(display);
        const double hide = AwaitPointer(display, start, 1, 0, 0);
        XTestFakeKeyEvent(display, key, False, CurrentTime);
        XSync(display, False);
        Settle();

        start = Microseconds();
        XTestFakeMotionEvent(display, DefaultScreen(display), x + 10, y + 10, CurrentTime);
        XFlush(display);
        const double restore = hide < 0 ? -1 : AwaitPointer(display, start, 0, x, y);
        if (hide < 0 || restore < 0)
            printf("timeout\n");
        else
            printf("%.1f %.1f\n", hide, restore);
        fflush(stdout);
        Settle();
    }
    XCloseDisplay(display);
    return 0;
}
