// runstat: runs a command and records its wall time and peak memory.
//
//   runstat OUTFILE COMMAND [ARG...]
//
// Appends one line "wall=SECONDS maxrss_kb=KB status=N" to OUTFILE, where KB
// is the largest resident set of the command or of any process it waited for
// (the kernel's ru_maxrss from wait4), and exits with the command's status.
// Works where GNU time is not installed.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: runstat OUTFILE COMMAND [ARG...]\n");
    return 2;
  }
  timespec start{}, end{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("runstat: fork");
    return 2;
  }
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    std::fprintf(stderr, "runstat: cannot run %s: %s\n", argv[2], std::strerror(errno));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) {
      std::perror("runstat: wait4");
      return 2;
    }
  }
  clock_gettime(CLOCK_MONOTONIC, &end);
  const double wall = static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  FILE* out = std::fopen(argv[1], "a");
  if (out == nullptr) {
    std::fprintf(stderr, "runstat: cannot open %s: %s\n", argv[1], std::strerror(errno));
    return 2;
  }
  std::fprintf(out, "wall=%.6f maxrss_kb=%ld status=%d\n", wall, usage.ru_maxrss, code);
  std::fclose(out);
  return code;
}
