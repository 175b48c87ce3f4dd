// Runs a command several times and prints the medians of its wall time, CPU
// time (user + system), peak resident memory and user time, for
// bench/run_bench.sh.
//   measure_run <runs> <stdout-file> [--fresh <dir>] -- <program> [args...]
// The command's standard output goes to <stdout-file> (use /dev/null to drop
// it). With --fresh, <dir> is deleted and created empty before every run, so
// each run writes its output files anew; that time is not counted.
// Prints one line: "<wall seconds> <cpu seconds> <peak KiB> <exit code> <user seconds>".
// User time is the program's own work; the rest of the CPU time is the
// system's (reading the input, creating and writing the output files).

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Sample {
    double wall = 0;
    double cpu = 0;
    double user = 0;
    long peakKib = 0;
    int exitCode = 0;
};

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

bool runOnce(char** command, const char* stdoutPath, Sample& sample) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const int fd = open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) _exit(126);
        close(fd);
        execvp(command[0], command);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    const auto end = std::chrono::steady_clock::now();
    sample.wall = std::chrono::duration<double>(end - start).count();
    sample.user = seconds(usage.ru_utime);
    sample.cpu = sample.user + seconds(usage.ru_stime);
    sample.peakKib = usage.ru_maxrss;  // KiB on Linux
    sample.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int i = 3;
    const char* fresh = nullptr;
    if (argc > 4 && std::strcmp(argv[3], "--fresh") == 0) {
        fresh = argv[4];
        i = 5;
    }
    if (argc < i + 2 || std::strcmp(argv[i], "--") != 0 || std::atoi(argv[1]) < 1) {
        std::printf("usage: measure_run <runs> <stdout-file> [--fresh <dir>] -- <program> [args...]\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    std::vector<double> walls, cpus, users;
    std::vector<long> peaks;
    int exitCode = 0;
    for (int r = 0; r < runs; ++r) {
        if (fresh != nullptr) {
            std::error_code ignored;
            std::filesystem::remove_all(fresh, ignored);
            std::filesystem::create_directories(fresh, ignored);
        }
        Sample s;
        if (!runOnce(argv + i + 1, argv[2], s)) {
            std::printf("cannot run %s\n", argv[i + 1]);
            return 2;
        }
        walls.push_back(s.wall);
        cpus.push_back(s.cpu);
        users.push_back(s.user);
        peaks.push_back(s.peakKib);
        exitCode = s.exitCode;
    }
    std::printf("%.4f %.4f %ld %d %.4f\n", median(walls), median(cpus), median(peaks), exitCode, median(users));
    return 0;
}
