// SPDX-License-Identifier: GPL-3.0-or-later
// Fault injection for tests, loaded with LD_PRELOAD: makes writes to one file
// fail as a full disk does, and its fdatasync/fsync fail as a dying disk
// does. Inert unless AMPERO_FAULT_TARGET is set, so a test binary may carry
// it all the time and switch it on with setenv() around one case.
//
//   AMPERO_FAULT_TARGET       the file, matched as the end of its path
//   AMPERO_FAULT_WRITE_LIMIT  the size the file may reach: a write across it
//                             is cut short there, the next fails with ENOSPC
//   AMPERO_FAULT_SYNC_ERRNO   errno for fdatasync and fsync of the file
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

static int isTarget(int fd)
{
    const char* target = getenv("AMPERO_FAULT_TARGET");
    if (!target || !*target)
        return 0;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return 0;
    path[n] = '\0';
    const size_t len = strlen(target);
    return (size_t)n >= len && strcmp(path + n - len, target) == 0;
}

ssize_t write(int fd, const void* buf, size_t count)
{
    static ssize_t (*real)(int, const void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    const char* limitText = getenv("AMPERO_FAULT_WRITE_LIMIT");
    if (limitText && *limitText && isTarget(fd)) {
        const off_t limit = (off_t)strtoll(limitText, NULL, 10);
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= 0) {
            if (at >= limit) {
                errno = ENOSPC;
                return -1;
            }
            if ((off_t)count > limit - at)
                count = (size_t)(limit - at);
        }
    }
    return real(fd, buf, count);
}

static int syncFault(int fd)
{
    const char* e = getenv("AMPERO_FAULT_SYNC_ERRNO");
    if (e && *e && isTarget(fd)) {
        errno = atoi(e);
        return -1;
    }
    return 0;
}

int fdatasync(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
    return syncFault(fd) ? -1 : real(fd);
}

int fsync(int fd)
{
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    return syncFault(fd) ? -1 : real(fd);
}
