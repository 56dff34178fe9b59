// Runs a command and prints what the kernel counted for that process alone: its
// peak resident memory in bytes, CPU seconds (user + system) and wall seconds, as
// one JSON line on stdout (the command's own output goes to /dev/null).
//
//   measure COMMAND [ARGS...]
//
// A process keeps as its peak at least the resident size it had when it called
// exec, which for a child of a Python script is the script's size; started from
// this small program, the peak is the command's own.

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: measure COMMAND [ARGS...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return 2;
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return 2;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("{\"peak\": %ld, \"cpu\": %.6f, \"wall\": %.6f}\n", usage.ru_maxrss * 1024L, cpu,
                wall.count());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
