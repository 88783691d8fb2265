// measure_run REPORT COMMAND [ARG...]: runs COMMAND and writes to REPORT one line, "EXIT WALL CPU
// PEAK": its exit status (or 128 + the signal that ended it), wall and CPU seconds, and its peak
// resident memory in KiB. A small program of its own, so that neither the start-up of a timing
// tool nor the memory of a big caller is counted against the command.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: measure_run REPORT COMMAND [ARG...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) {
        execvp(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) < 0) return 2;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                       usage.ru_stime.tv_usec / 1e6;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    FILE* report = std::fopen(argv[1], "w");
    if (!report) return 2;
    std::fprintf(report, "%d %.6f %.6f %ld\n", exitStatus, wall, cpu, usage.ru_maxrss);
    return std::fclose(report) == 0 ? 0 : 2;
}
