#include "spawn_unmasked.h"

#include "platform.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform_pending {

int spawnAndWaitUnmasked(const std::string& path, const std::vector<std::string>& argv, int& error) {
    const std::string host = platform::resolvePath(path);
    if (access(host.c_str(), X_OK) != 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        error = EACCES;
        return -1;
    }
    std::vector<std::string> copies(argv);
    std::vector<char*> args;
    args.reserve(copies.size() + 1);
    for (auto& a : copies) args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        error = ENOMEM;
        return -1;
    }
    sigset_t none, caught;
    sigemptyset(&none);
    sigemptyset(&caught);
    for (int s : {SIGINT, SIGQUIT, SIGTERM, SIGABRT, SIGPIPE}) sigaddset(&caught, s);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &caught);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, host.c_str(), nullptr, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        error = rc;
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace platform_pending
