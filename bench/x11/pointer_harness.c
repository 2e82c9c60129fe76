/* Times a cursor hider from outside, as a native X11 client sees it: types a key with XTest and
 * polls the pointer until it reaches the bottom-right corner, then moves the pointer with XTest
 * and polls until it is back where it was. Built for the host, not for Windows.
 *
 * Usage: pointer_harness SAMPLES X Y [FOCUS_WINDOW]
 *        pointer_harness --idle X Y [FOCUS_WINDOW]
 *   X Y           where the pointer starts each sample and must come back to; the motion goes
 *                 10 px right and down from there
 *   FOCUS_WINDOW  an X window id to give the keyboard focus (a Wine application's window,
 *                 which is also clicked once at X Y so that Wine activates it)
 * Prints one line per sample, "hide_us restore_us"; a step whose pointer did not arrive within
 * two seconds prints "timeout" in its place, and a restore after a hide that timed out is not
 * tried ("-").
 * --idle checks that nothing hides or restores any more: after a key and after a motion the
 * pointer must stay put for half a second. Exits 1, saying which step moved it, if it did not. */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

/* Polls until the pointer is in the corner (corner != 0) or at (x, y), for at most patience
 * microseconds; the time taken, or -1. */
static double AwaitPointer(Display* display, double start, double patience, int corner, int x, int y)
{
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    for (;;) {
        int px, py;
        Pointer(display, &px, &py);
        const double now = Microseconds();
        if (corner ? px >= width - 3 && py >= height - 3 : px == x && py == y) return now - start;
        if (now - start > patience) return -1;
    }
}

static const double kPatience = 2e6;

/* A window that has gone (Wine may replace an application's X window) is no reason to stop. */
static int IgnoreError(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

/* Lets the hider and the applications take what the last step left them. */
static void Settle(void) { usleep(30000); }

static void Type(Display* display, KeyCode key, Bool down)
{
    XTestFakeKeyEvent(display, key, down, CurrentTime);
    XFlush(display);
}

static void Move(Display* display, int x, int y)
{
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XFlush(display);
}

/* Wine sends X keys to the window that Wine itself has activated: a click does that. */
static void Activate(Display* display, Window focus, int x, int y)
{
    if (focus == None) return;
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    usleep(300000);
}

static void StartAt(Display* display, Window focus, int x, int y)
{
    if (focus != None) XSetInputFocus(display, focus, RevertToParent, CurrentTime);
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, x, y);
    XSync(display, False);
    Settle();
}

static void PrintStep(double microseconds, const char* end)
{
    if (microseconds < 0)
        printf("timeout%s", end);
    else
        printf("%.1f%s", microseconds, end);
}

static void Measure(Display* display, KeyCode key, Window focus, int samples, int x, int y)
{
    for (int i = 0; i < samples; ++i) {
        StartAt(display, focus, x, y);
        double start = Microseconds();
        Type(display, key, True);
        const double hide = AwaitPointer(display, start, kPatience, 1, 0, 0);
        Type(display, key, False);
        XSync(display, False);
        Settle();
        PrintStep(hide, " ");
        if (hide < 0) {
            printf("-\n");
        } else {
            start = Microseconds();
            Move(display, x + 10, y + 10);
            PrintStep(AwaitPointer(display, start, kPatience, 0, x, y), "\n");
        }
        fflush(stdout);
        Settle();
    }
}

static int CheckIdle(Display* display, KeyCode key, Window focus, int x, int y)
{
    StartAt(display, focus, x, y);
    Type(display, key, True);
    Type(display, key, False);
    usleep(500000);
    int px, py;
    Pointer(display, &px, &py);
    if (px != x || py != y) {
        printf("a key moved the pointer from (%d,%d) to (%d,%d)\n", x, y, px, py);
        return 1;
    }
    Move(display, x + 10, y + 10);
    usleep(500000);
    Pointer(display, &px, &py);
    if (px != x + 10 || py != y + 10) {
        printf("a motion to (%d,%d) left the pointer at (%d,%d)\n", x + 10, y + 10, px, py);
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: pointer_harness SAMPLES|--idle X Y [FOCUS_WINDOW]\n");
        return 2;
    }
    const int idle = strcmp(argv[1], "--idle") == 0;
    const int samples = atoi(argv[1]), x = atoi(argv[2]), y = atoi(argv[3]);
    const Window focus = argc > 4 ? strtoul(argv[4], NULL, 0) : None;
    Display* display = XOpenDisplay(NULL);
    if (!display) return 2;
    XSetErrorHandler(IgnoreError);
    const KeyCode key = XKeysymToKeycode(display, XK_k);
    Activate(display, focus, x, y);
    int result = 0;
    if (idle)
        result = CheckIdle(display, key, focus, x, y);
    else
        Measure(display, key, focus, samples, x, y);
    XCloseDisplay(display);
    return result;
}
