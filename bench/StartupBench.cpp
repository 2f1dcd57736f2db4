// Start-up of the real program as a user sees it: from starting the executable
// to its window on the screen, and to the first frame in which the home page is
// painted. The screen is read from the X server (run under an X server with a
// window manager, e.g. Xvfb and icewm), so nothing inside the program is timed.
//
// The page counts as painted at the first frame in which the window's pixels
// that change during start-up show what they finally settle on; the status
// bar's row is left out, as its texts keep changing after the page is there.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#if TESSALY_HAVE_XCB
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

int EnvInt(const char *name, int fallback, int minimum)
{
    const char *text = std::getenv(name);
    return text && std::atoi(text) >= minimum ? std::atoi(text) : fallback;
}

#if TESSALY_HAVE_XCB

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect &) const = default;
};

struct Frame {
    double ms = 0;
    Rect rect;
    std::vector<std::uint32_t> pixels; // a sparse grid over the window
};

constexpr int kStep = 8; // grid spacing in pixels
constexpr int kStatusRows = 32; // the status bar's height, left out

class Screen {
public:
    Screen()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_pidAtom = Atom("_NET_WM_PID");
        m_ok = m_pidAtom != static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    }
    ~Screen() { xcb_disconnect(m_connection); }
    bool Ok() const { return m_ok; }

    // The largest viewable window that carries the process id.
    std::optional<Rect> FindWindow(pid_t pid)
    {
        std::optional<Rect> best;
        Walk(m_root, pid, best, 0);
        return best;
    }

    std::vector<std::uint32_t> Sample(const Rect &rect)
    {
        std::vector<std::uint32_t> pixels;
        const int rows = std::max(0, rect.height - kStatusRows);
        std::vector<xcb_get_image_cookie_t> cookies;
        for (int y = 0; y < rows; y += kStep)
            cookies.push_back(
                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, static_cast<int16_t>(rect.x),
                    static_cast<int16_t>(rect.y + y), static_cast<uint16_t>(rect.width), 1, ~0u));
        for (auto cookie : cookies) {
            xcb_get_image_reply_t *reply = xcb_get_image_reply(m_connection, cookie, nullptr);
            if (!reply) {
                pixels.insert(pixels.end(), static_cast<std::size_t>((rect.width + kStep - 1) / kStep), 0u);
                continue;
            }
            const auto *data = reinterpret_cast<const std::uint32_t *>(xcb_get_image_data(reply));
            const int count = xcb_get_image_data_length(reply) / 4;
            for (int x = 0; x < rect.width; x += kStep)
                pixels.push_back(x < count ? data[x] & 0xFFFFFFu : 0u);
            free(reply);
        }
        return pixels;
    }

private:
    xcb_atom_t Atom(const char *name)
    {
        auto cookie = xcb_intern_atom(m_connection, 1, static_cast<uint16_t>(std::strlen(name)), name);
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(m_connection, cookie, nullptr);
        const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }

    void Walk(xcb_window_t window, pid_t pid, std::optional<Rect> &best, int depth)
    {
        if (depth > 3)
            return;
        xcb_query_tree_reply_t *tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        for (int i = 0; i < count; ++i) {
            const xcb_window_t child = children[i];
            if (OwnedBy(child, pid)) {
                if (auto rect = ViewableRect(child);
                    rect && (!best || rect->width * rect->height > best->width * best->height))
                    best = rect;
            } else {
                Walk(child, pid, best, depth + 1);
            }
        }
        free(tree);
    }

    bool OwnedBy(xcb_window_t window, pid_t pid)
    {
        auto cookie = xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1);
        xcb_get_property_reply_t *reply = xcb_get_property_reply(m_connection, cookie, nullptr);
        bool owned = false;
        if (reply && xcb_get_property_value_length(reply) == 4)
            owned =
                *static_cast<const std::uint32_t *>(xcb_get_property_value(reply)) == static_cast<std::uint32_t>(pid);
        free(reply);
        return owned;
    }

    std::optional<Rect> ViewableRect(xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t *attributes =
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
        const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        free(attributes);
        if (!viewable)
            return std::nullopt;
        xcb_get_geometry_reply_t *geometry =
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
        xcb_translate_coordinates_reply_t *origin = xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr);
        std::optional<Rect> rect;
        if (geometry && origin && geometry->width > 200 && geometry->height > 150)
            rect = Rect {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
        free(geometry);
        free(origin);
        return rect;
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    bool m_ok = false;
};

struct Run {
    double windowMs = -1;
    double paintedMs = -1;
};

// When the window's changing pixels first show their settled state.
double PaintedAt(const std::vector<Frame> &frames)
{
    if (frames.empty())
        return -1;
    const Frame &last = frames.back();
    const Frame *first = nullptr;
    for (const Frame &frame : frames)
        if (frame.rect == last.rect && frame.pixels.size() == last.pixels.size()) {
            first = &frame;
            break;
        }
    if (!first)
        return -1;
    std::vector<std::size_t> changing;
    for (std::size_t i = 0; i < last.pixels.size(); ++i)
        if (first->pixels[i] != last.pixels[i])
            changing.push_back(i);
    if (changing.empty())
        return first->ms;
    for (const Frame &frame : frames) {
        if (!(frame.rect == last.rect) || frame.pixels.size() != last.pixels.size())
            continue;
        const auto settled = std::count_if(
            changing.begin(), changing.end(), [&](std::size_t i) { return frame.pixels[i] == last.pixels[i]; });
        if (settled * 100 >= static_cast<long>(changing.size()) * 95)
            return frame.ms;
    }
    return last.ms;
}

Run StartOnce(Screen &screen, const std::string &executable, int settleMs)
{
    Run run;
    std::vector<char *> argv {const_cast<char *>(executable.c_str()), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    // The program's own chatter would drown the figures.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const int spawned = posix_spawn(&pid, executable.c_str(), &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) {
        std::fprintf(stderr, "cannot start %s\n", executable.c_str());
        return run;
    }
    const auto ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
    std::vector<Frame> frames;
    double lastChange = 0;
    while (ms() < 15000) {
        const double now = ms();
        if (auto rect = screen.FindWindow(pid)) {
            if (run.windowMs < 0)
                run.windowMs = now;
            Frame frame {now, *rect, screen.Sample(*rect)};
            if (frames.empty() || !(frames.back().rect == frame.rect) || frames.back().pixels != frame.pixels)
                lastChange = now;
            frames.push_back(std::move(frame));
            // Settled: nothing changed for a while.
            if (now - lastChange > settleMs && now > 1500)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
    }
    run.paintedMs = PaintedAt(frames);
    kill(pid, SIGTERM);
    for (int i = 0; i < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return run;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

#endif

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
#if !TESSALY_HAVE_XCB
    std::fprintf(stderr, "startup bench: built without xcb, cannot read the screen\n");
    return 2;
#else
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "startup bench: needs an X server (DISPLAY), e.g. Xvfb with a window manager\n");
        return 2;
    }
    Screen screen;
    if (!screen.Ok()) {
        std::fprintf(stderr, "startup bench: cannot reach the X server\n");
        return 2;
    }
    if (geteuid() == 0)
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    const int runs = EnvInt("TESSALY_BENCH_RUNS", 7, 1);
    const int settleMs = EnvInt("TESSALY_BENCH_SETTLE_MS", 1000, 100);

    // A copy of the program in a folder of its own keeps its files there, so
    // the first run is a first start and the user's own files stay untouched.
    QTemporaryDir dir;
    const QString executable = dir.filePath(QStringLiteral("tessaly"));
    if (!QFile::copy(QStringLiteral(TESSALY_EXECUTABLE), executable)) {
        std::fprintf(stderr, "startup bench: cannot copy %s\n", TESSALY_EXECUTABLE);
        return 1;
    }
    QFile::setPermissions(executable, QFile::permissions(executable) | QFile::ExeOwner);

    std::vector<double> windows, painted;
    Run first;
    for (int i = 0; i <= runs; ++i) {
        // Each start a fresh one, not a restore after the ended run.
        QFile::remove(dir.filePath(QStringLiteral("Config/TabState.dat")));
        QFile::remove(dir.filePath(QStringLiteral("Config/TabState.dat.prev")));
        const Run run = StartOnce(screen, executable.toStdString(), settleMs);
        if (run.windowMs < 0 || run.paintedMs < 0) {
            std::fprintf(stderr, "startup bench: run %d showed no window\n", i);
            return 1;
        }
        if (i == 0) {
            first = run;
            continue;
        }
        windows.push_back(run.windowMs);
        painted.push_back(run.paintedMs);
    }
    std::printf("startup_runs %d\n", runs);
    std::printf("startup_first_window_shown_ms %.0f\n", first.windowMs);
    std::printf("startup_first_page_painted_ms %.0f\n", first.paintedMs);
    std::printf("startup_window_shown_ms_p50 %.0f\n", Median(windows));
    std::printf("startup_page_painted_ms_p50 %.0f\n", Median(painted));
    std::printf("startup_page_painted_ms_min %.0f\n", *std::min_element(painted.begin(), painted.end()));
    std::printf("startup_page_painted_ms_max %.0f\n", *std::max_element(painted.begin(), painted.end()));
    return 0;
#endif
}
