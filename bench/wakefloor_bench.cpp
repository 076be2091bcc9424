// SPDX-License-Identifier: GPL-3.0-or-later
// What this machine charges for the least a battery test must do, whatever
// program does it: bare loops in C++ with no toolkit, each measured from its
// thread's schedstat, so the figures of testcost_bench and startup_bench can
// be read against the floor beneath them.
//
//   xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" build/bench/wakefloor_bench [SECONDS]
//
// terminal: wakes once a second and writes a sample byte, a companion line
//           and a progress line (to a file, a file and /dev/null).
// idle:     wakes once a second, reads /proc/stat (the usage bars) and sends
//           the X server one small copy request (a repaint at its smallest).
// window:   wakes 20 times a second and sends one 32 x 32 copy request (the
//           busy animation's frame), and once a second does the terminal
//           case's writes and reads /proc/stat besides.
// The two X cases need a display; without one they are skipped.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

double threadCpuSeconds()
{
    std::FILE* f = std::fopen("/proc/thread-self/schedstat", "r");
    unsigned long long ns = 0;
    if (f) {
        if (std::fscanf(f, "%llu", &ns) != 1)
            ns = 0;
        std::fclose(f);
    }
    return static_cast<double>(ns) / 1e9;
}

struct Writes {
    int sample = -1;
    int companion = -1;
    int progress = -1;
    char line[80];

    explicit Writes(const std::string& dir)
    {
        sample
            = ::open((dir + "/floor.apr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
        companion = ::open(
            (dir + "/floor.apr.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
        progress = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::memset(line, 'x', sizeof line);
    }
    ~Writes()
    {
        for (const int fd : { sample, companion, progress })
            if (fd >= 0)
                ::close(fd);
    }
    bool ok() const { return sample >= 0 && companion >= 0 && progress >= 0; }
    void tick() const
    {
        // A failed write only makes the floor lower; it is not the point here.
        [[maybe_unused]] ssize_t n = ::write(sample, line, 1);
        n = ::write(companion, line, 72);
        n = ::write(progress, line, 37);
    }
};

void readProcStat()
{
    char buffer[8192];
    const int fd = ::open("/proc/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    while (::read(fd, buffer, sizeof buffer) > 0) { }
    ::close(fd);
}

struct X {
    xcb_connection_t* c = nullptr;
    xcb_window_t window = 0;
    xcb_pixmap_t pixmap = 0;
    xcb_gcontext_t gc = 0;

    bool open()
    {
        c = xcb_connect(nullptr, nullptr);
        if (!c || xcb_connection_has_error(c))
            return false;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        window = xcb_generate_id(c);
        const uint32_t white = screen->white_pixel;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 200, 100, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, &white);
        xcb_map_window(c, window);
        pixmap = xcb_generate_id(c);
        xcb_create_pixmap(c, screen->root_depth, pixmap, window, 100, 32);
        gc = xcb_generate_id(c);
        const uint32_t noExposures = 0;
        xcb_create_gc(c, gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        xcb_flush(c);
        return true;
    }
    ~X()
    {
        if (c)
            xcb_disconnect(c);
    }
    void copy(uint16_t w, uint16_t h) const
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c))
            std::free(e);
        xcb_copy_area(c, pixmap, window, gc, 0, 0, 10, 10, w, h);
        xcb_flush(c);
    }
};

// Runs `step(i)` `perSecond` times a second for `seconds` seconds, each on an
// absolute deadline, and prints the thread's CPU time per hour.
template <typename Step> void measure(const char* name, int seconds, int perSecond, Step step)
{
    timespec due {};
    ::clock_gettime(CLOCK_MONOTONIC, &due);
    const long periodNs = 1000000000L / perSecond;
    const double start = threadCpuSeconds();
    const int wakes = seconds * perSecond;
    for (int i = 0; i < wakes; ++i) {
        due.tv_nsec += periodNs;
        if (due.tv_nsec >= 1000000000L) {
            due.tv_nsec -= 1000000000L;
            ++due.tv_sec;
        }
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) { }
        step(i);
    }
    const double cpu = threadCpuSeconds() - start;
    std::printf("floor %-8s %2d wake-ups a second: %.1f us each, %.2f s of CPU per hour\n", name, perSecond,
        cpu * 1e6 / wakes, cpu * 3600.0 / seconds);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    char pattern[] = "/tmp/wakefloor-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir) {
        std::perror("wakefloor_bench: mkdtemp");
        return 1;
    }
    int status = 0;
    {
        const Writes writes { dir };
        if (!writes.ok()) {
            std::fprintf(stderr, "wakefloor_bench: cannot write in %s\n", dir);
            status = 1;
        } else {
            measure("terminal", seconds, 1, [&writes](int) { writes.tick(); });
            X x;
            if (!std::getenv("DISPLAY") || !x.open()) {
                std::fprintf(stderr, "wakefloor_bench: no X display; idle and window skipped\n");
            } else {
                measure("idle", seconds, 1, [&x](int) {
                    readProcStat();
                    x.copy(100, 20);
                });
                measure("window", seconds, 20, [&x, &writes](int i) {
                    x.copy(32, 32);
                    if (i % 20 == 0) {
                        writes.tick();
                        readProcStat();
                    }
                });
            }
        }
    }
    for (const char* name : { "/floor.apr", "/floor.apr.jsonl" })
        ::unlink((std::string(dir) + name).c_str());
    ::rmdir(dir);
    return status;
}
