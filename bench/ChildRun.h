#pragma once
// Running a benchmark's programs as child processes: wall time, CPU time and
// peak memory of each. Our own children (the benchmark executable run again
// with a mode argument) report their peak themselves, since ru_maxrss would
// count the memory the parent had when it forked.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace plimbury::bench {

struct RunResult {
    double seconds = 0;
    double peakMiB = 0;
    double cpuSeconds = 0;   // user + system, all threads
};

// The runs of one measured command, summed up.
struct Series {
    std::vector<RunResult> runs;
    double bestSeconds() const
    {
        double best = 1e30;
        for (const RunResult& r : runs)
            best = std::min(best, r.seconds);
        return best;
    }
    double medianSeconds() const
    {
        std::vector<double> s;
        for (const RunResult& r : runs)
            s.push_back(r.seconds);
        std::sort(s.begin(), s.end());
        return s[s.size() / 2];
    }
    double bestCpuSeconds() const
    {
        double best = 1e30;
        for (const RunResult& r : runs)
            best = std::min(best, r.cpuSeconds);
        return best;
    }
    double peakMiB() const
    {
        double peak = 0;
        for (const RunResult& r : runs)
            peak = std::max(peak, r.peakMiB);
        return peak;
    }
};

// This process's peak resident size so far (VmHWM).
inline double ownPeakMiB()
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = 0;
    while (f && std::fgets(line, sizeof line, f)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1)
            break;
    }
    if (f)
        std::fclose(f);
    return static_cast<double>(kib) / 1024.0;
}

// In a child: writes ownPeakMiB() to the file the environment variable
// `reportVariable` names, if it is set.
inline void reportOwnPeak(const char* reportVariable)
{
    if (const char* report = std::getenv(reportVariable)) {
        if (std::FILE* f = std::fopen(report, "w")) {
            std::fprintf(f, "%.2f\n", ownPeakMiB());
            std::fclose(f);
        }
    }
}

// Runs args with its standard output (and, with quiet, its errors) to
// /dev/null; throws when it cannot start or fails. When args[0] is `self`,
// the peak is the one the child wrote to reportPath.
inline RunResult runChild(const std::vector<std::string>& args, const std::string& self,
                          const std::string& reportPath, bool quiet = false)
{
    std::filesystem::remove(reportPath);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + args[0]);
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("wait4 failed");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string command;
        for (const std::string& a : args)
            command += " " + a;
        throw std::runtime_error("failed:" + command);
    }
    const auto cpu = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    RunResult result {seconds, static_cast<double>(usage.ru_maxrss) / 1024.0, cpu(usage.ru_utime) + cpu(usage.ru_stime)};
    if (args[0] == self) {
        std::FILE* f = std::fopen(reportPath.c_str(), "r");
        if (!f || std::fscanf(f, "%lf", &result.peakMiB) != 1)
            throw std::runtime_error("no peak reported by " + args[1]);
        std::fclose(f);
    }
    return result;
}

} // namespace plimbury::bench
