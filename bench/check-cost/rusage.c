/* Runs a command and prints its CPU time (user + system, microseconds), its
 * peak resident memory (KiB) and its wall time (microseconds), from wait4().
 * A child forked from this small program starts with a small resident set;
 * one forked from Python would report Python's own size as its peak, since
 * Linux carries the peak across exec. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0)
        return 2;
    clock_gettime(CLOCK_MONOTONIC, &end);
    long cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L + usage.ru_utime.tv_usec +
               usage.ru_stime.tv_usec;
    long wall = (end.tv_sec - start.tv_sec) * 1000000L + (end.tv_nsec - start.tv_nsec) / 1000;
    fprintf(stderr, "rusage %ld %ld %ld\n", cpu, usage.ru_maxrss, wall);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
