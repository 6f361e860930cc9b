// Start-up of Vantrel's main window as a user meets it: each run is a fresh
// process that builds the application and the main window as main() does,
// shows it and ends once the window is on screen. Prints, per run and as
// the median, the time from starting the process to the shown window, and
// the process's peak resident memory.
//
//   startup_bench [runs]   (default 5; offscreen unless QT_QPA_PLATFORM is set)
#include "app/mainwindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QWindow>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char **environ;

namespace {

int child(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon("icon.ico"));
    QCoreApplication::setApplicationVersion("1.0.0.8");
    MainWindow window;
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QApplication::processEvents();
    std::fputs("shown\n", stdout);
    std::fflush(stdout);
    return 0;
}

struct Run {
    double seconds = -1;
    long peakKiB = -1;
};

Run runOnce(const char *self)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char childFlag[] = "--child";
    char *args[] = {const_cast<char *>(self), childFlag, nullptr};

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    Run run;
    if (spawned == 0) {
        char line[16] = {};
        const ssize_t n = read(pipeFds[0], line, sizeof line - 1);
        if (n > 0 && std::strncmp(line, "shown", 5) == 0)
            run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        int status = 0;
        struct rusage usage {};
        if (wait4(pid, &status, 0, &usage) == pid)
            run.peakKiB = usage.ru_maxrss;
    }
    close(pipeFds[0]);
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return child(argc, argv);

    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<double> times;
    std::vector<long> peaks;
    std::printf("platform %s\n", qgetenv("QT_QPA_PLATFORM").constData());
    for (int i = 0; i < runs; ++i) {
        const Run r = runOnce("/proc/self/exe");
        if (r.seconds < 0) {
            std::printf("run %d: the window was not shown\n", i + 1);
            return 1;
        }
        std::printf("run %d: window shown after %.3f s, peak RSS %.1f MB\n", i + 1, r.seconds, r.peakKiB / 1024.0);
        times.push_back(r.seconds);
        peaks.push_back(r.peakKiB);
    }
    std::sort(times.begin(), times.end());
    std::sort(peaks.begin(), peaks.end());
    std::printf("median: window shown after %.3f s, peak RSS %.1f MB\n", times[times.size() / 2],
                peaks[peaks.size() / 2] / 1024.0);
    return 0;
}
