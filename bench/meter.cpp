// Host side of the measurements: runs a command and reports the resources of
// that one process, as the kernel accounts them when it is reaped.
//   meter OUTFILE COMMAND [ARGS...]
// writes "user_ms system_ms peak_resident_kb wall_ms exit_code".
//
// `wine X.exe` runs X inside the host process it starts, and the processes X
// starts are forked off and not waited for by it, so this is X's own use.
// (Under Wine, GetProcessTimes of another process reads zero: the Windows side
// cannot measure this.)
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

double Milliseconds(const timeval& time) { return time.tv_sec * 1000.0 + time.tv_usec / 1000.0; }

double NowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const double started = NowMs();
    const pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child) return 2;
    const double ended = NowMs();
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) return 2;
    std::fprintf(out, "%.1f %.1f %ld %.0f %d\n", Milliseconds(usage.ru_utime),
                 Milliseconds(usage.ru_stime), usage.ru_maxrss, ended - started,
                 WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    std::fclose(out);
    return 0;
}
