#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace {

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's file name: the target of /proc/<pid>/exe when readable, otherwise
// the first word of the command line, otherwise the short kernel name.
std::string ExecutableNameOf(const std::string& pid) {
    std::array<char, 4096> target{};
    ssize_t n = readlink(("/proc/" + pid + "/exe").c_str(), target.data(), target.size() - 1);
    if (n > 0) {
        std::string path(target.data(), static_cast<size_t>(n));
        constexpr std::string_view kDeleted = " (deleted)";
        if (path.size() > kDeleted.size() && path.ends_with(kDeleted))
            path.resize(path.size() - kDeleted.size());
        return BaseName(path);
    }
    std::ifstream cmdline("/proc/" + pid + "/cmdline");
    std::string   first;
    if (std::getline(cmdline, first, '\0') && !first.empty())
        return BaseName(first);
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string   name;
    std::getline(comm, name);
    return name;
}

}  // namespace

std::vector<std::string> RunningExecutableNames() {
    std::vector<std::string> names;
    DIR*                     proc = opendir("/proc");
    if (!proc)
        return names;
    while (dirent* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        std::string name = ExecutableNameOf(entry->d_name);
        if (!name.empty())
            names.push_back(std::move(name));
    }
    closedir(proc);
    return names;
}

std::string ExecutablePath() {
    std::array<char, 4096> target{};
    ssize_t                n = readlink("/proc/self/exe", target.data(), target.size() - 1);
    return n > 0 ? std::string(target.data(), static_cast<size_t>(n)) : std::string();
}

std::string ExecutableDirectory() {
    std::string path  = ExecutablePath();
    size_t      slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void SetCurrentThreadLowestPriority() {
    // Linux threads have their own nice value; 19 is the lowest.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
}

void SetCurrentThreadAboveNormalPriority() {
    // Raising priority needs privileges; without them the call fails and is ignored.
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -5);
}

bool SetProcessPriorityClass(const std::string& name) {
    constexpr std::array<std::pair<std::string_view, int>, 6> kClasses = {{
        {"idle", 19},
        {"below_normal", 10},
        {"normal", 0},
        {"above_normal", -5},
        {"high", -10},
        {"realtime", -20},
    }};
    for (const auto& [class_name, nice_level] : kClasses)
        if (name == class_name) {
            setpriority(PRIO_PROCESS, 0, nice_level);
            return true;
        }
    return false;
}

bool SpawnSelf(const std::string& arguments) {
    std::string path = ExecutablePath();
    if (path.empty())
        return false;
    std::vector<std::string> words{path};
    std::istringstream       split(arguments);
    for (std::string word; split >> word;)
        words.push_back(word);
    pid_t parent = getpid();
    pid_t child  = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        // The child dies with its parent, as a process in a kill-on-close job would.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(1);
        // A console of its own: the child shares none of the parent's standard streams.
        int null_fd = open("/dev/null", O_RDWR);
        if (null_fd >= 0) {
            dup2(null_fd, STDIN_FILENO);
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    return true;
}

int LogicalProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n ? static_cast<int>(n) : 1;
}

void UseOneMallocArena() { mallopt(M_ARENA_MAX, 1); }
