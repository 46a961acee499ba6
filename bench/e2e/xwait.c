// Times an operation of a program under Wine from outside, at the cost of an X call per look:
// runs a trigger command and polls conditions (a screen area's pixels, a window's title, a
// file) until every one holds. Prints wall-clock times in microseconds, one line each:
//   start T            just before the trigger was started
//   pid N              the trigger's process id
//   exit T             the trigger ended (not printed when it outlives us)
//   COND T GAP         when COND was first seen to hold; GAP is the time since the look
//                      before, so it happened within (T - GAP, T]
// Conditions (any number, polled together):
//   -pix X,Y,W,H,eq|ne,HASH   the root window's area hashes to HASH (eq) or not (ne)
//   -title XID,eq|ne,TEXT     the X window's _NET_WM_NAME is TEXT (eq) or not (ne)
//   -window TEXT              a mapped top-level X window is titled TEXT
//   -gone PATH                PATH was seen to exist and then no longer exists
// Options: -poll US (default 1000), -timeout MS (default 300000), -detach (do not wait
// for the trigger). "xwait hash X Y W H" prints the area's hash.
// Exit code 0 when all conditions held, 1 on a timeout, 2 on bad arguments.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum Kind { PIX, TITLE, WINDOW, GONE };
struct Cond {
    enum Kind kind;
    const char *arg; // as given, for the report
    int x, y, w, h, eq;
    unsigned long long hash;
    Window xid;
    const char *text;
    int seen; // GONE: the file existed once
    long long met;
};

static Display *dpy;
static Atom netWmName, utf8String;

static long long nowUs(void) {
    struct timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

// FNV-1a over the area's pixels; 0 when the area cannot be read.
static unsigned long long areaHash(int x, int y, int w, int h) {
    XImage *img =
        XGetImage(dpy, DefaultRootWindow(dpy), x, y, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!img) return 0;
    unsigned long long hv = 1469598103934665603ULL;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            unsigned long p = XGetPixel(img, i, j) & 0xFFFFFF;
            for (int k = 0; k < 3; ++k)
                hv = (hv ^ ((p >> (8 * k)) & 255)) * 1099511628211ULL;
        }
    XDestroyImage(img);
    return hv;
}

// The window's title as UTF-8, or NULL (free with XFree).
static char *titleOf(Window w) {
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char *data = NULL;
    if (XGetWindowProperty(dpy, w, netWmName, 0, 1024, False, utf8String, &type, &format, &n,
                           &after, &data) != Success ||
        !data)
        return NULL;
    return (char *)data;
}

static int windowTitled(const char *text) {
    Window root, parent, *kids = NULL;
    unsigned n = 0;
    int found = 0;
    if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n)) return 0;
    for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(dpy, kids[i], &a) || a.map_state != IsViewable) continue;
        char *t = titleOf(kids[i]);
        found = t && strcmp(t, text) == 0;
        if (t) XFree(t);
    }
    if (kids) XFree(kids);
    return found;
}

static int holds(struct Cond *c) {
    struct stat st;
    switch (c->kind) {
    case PIX:
        return (areaHash(c->x, c->y, c->w, c->h) == c->hash) == c->eq;
    case TITLE: {
        char *t = titleOf(c->xid);
        int same = t && strcmp(t, c->text) == 0;
        if (t) XFree(t);
        return same == c->eq;
    }
    case WINDOW:
        return windowTitled(c->text);
    case GONE:
        if (stat(c->text, &st) == 0) {
            c->seen = 1;
            return 0;
        }
        return c->seen;
    }
    return 0;
}

static int ignoreErrors(Display *d, XErrorEvent *e) {
    (void)d, (void)e;
    return 0;
}

static int usage(void) {
    fprintf(stderr, "usage: xwait hash X Y W H | xwait [-poll US] [-timeout MS] [-detach] "
                    "{-pix X,Y,W,H,eq|ne,HASH | -title XID,eq|ne,TEXT | -window TEXT | "
                    "-gone PATH}... -- COMMAND...\n");
    return 2;
}

int main(int argc, char **argv) {
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xwait: no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors); // a window may vanish between two looks
    netWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
    utf8String = XInternAtom(dpy, "UTF8_STRING", False);
    if (argc == 6 && strcmp(argv[1], "hash") == 0) {
        printf("%llx\n", areaHash(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5])));
        return 0;
    }
    struct Cond conds[16];
    int n = 0, detach = 0, i;
    long pollUs = 1000, timeoutMs = 300000;
    for (i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        const char *o = argv[i], *v = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(o, "-detach") == 0) {
            detach = 1;
            continue;
        }
        if (!v || n == 16) return usage();
        ++i;
        if (strcmp(o, "-poll") == 0) {
            pollUs = atol(v);
            continue;
        }
        if (strcmp(o, "-timeout") == 0) {
            timeoutMs = atol(v);
            continue;
        }
        struct Cond *c = &conds[n++];
        memset(c, 0, sizeof *c);
        c->arg = o + 1;
        char how[3] = "";
        int pos = 0;
        if (strcmp(o, "-pix") == 0) {
            c->kind = PIX;
            if (sscanf(v, "%d,%d,%d,%d,%2[eqn],%llx", &c->x, &c->y, &c->w, &c->h, how, &c->hash) !=
                6)
                return usage();
        } else if (strcmp(o, "-title") == 0) {
            c->kind = TITLE;
            unsigned long xid;
            if (sscanf(v, "%lu,%2[eqn],%n", &xid, how, &pos) != 2 || !pos) return usage();
            c->xid = (Window)xid;
            c->text = v + pos;
        } else if (strcmp(o, "-window") == 0) {
            c->kind = WINDOW;
            c->text = v;
        } else if (strcmp(o, "-gone") == 0) {
            c->kind = GONE;
            c->text = v;
        } else {
            return usage();
        }
        if (c->kind == PIX || c->kind == TITLE) {
            if (strcmp(how, "eq") && strcmp(how, "ne")) return usage();
            c->eq = strcmp(how, "eq") == 0;
        }
    }
    if (i + 1 >= argc || n == 0) return usage();
    fflush(stdout);
    long long start = nowUs(), deadline = start + timeoutMs * 1000LL, last = start;
    // GAP below: from the start of the look before to the look that saw it.
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[i + 1], argv + i + 1);
        _exit(127);
    }
    printf("start %lld\npid %d\n", start, (int)pid);
    int left = n, exited = 0, status;
    while (left > 0) {
        long long round = nowUs();
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) {
            exited = 1;
            printf("exit %lld\n", nowUs());
        }
        for (int k = 0; k < n; ++k)
            if (!conds[k].met && holds(&conds[k])) {
                long long t = nowUs();
                conds[k].met = t;
                --left;
                printf("%s %lld %lld\n", conds[k].arg, t, t - last);
            }
        last = round;
        if (left == 0) break;
        if (round > deadline) {
            for (int k = 0; k < n; ++k)
                if (!conds[k].met)
                    printf("timeout %s %s\n", conds[k].arg, conds[k].text ? conds[k].text : "");
            break;
        }
        fflush(stdout);
        usleep((useconds_t)pollUs);
    }
    fflush(stdout);
    if (!exited && !detach && waitpid(pid, &status, 0) == pid) printf("exit %lld\n", nowUs());
    return left == 0 ? 0 : 1;
}
