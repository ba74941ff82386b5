/* Preloaded beside umockdev's library into the program under test: fstat() on an emulated
   device node reports the character device that stat() on its path reports. umockdev keeps
   each node's device number as the link $UMOCKDEV_DIR/dev/.node/<name> -> "major:minor". */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

static int NodeNumbers(int fd, dev_t* device) {
    const char* root = getenv("UMOCKDEV_DIR");
    char link[64], target[4096], node[4200], numbers[32];
    unsigned major_number, minor_number;
    size_t length;
    ssize_t bytes;
    if (!root) return 0;
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    bytes = readlink(link, target, sizeof target - 1);
    if (bytes <= 0) return 0;
    target[bytes] = 0;
    length = strlen(root);
    if (strncmp(target, root, length) != 0 || strncmp(target + length, "/dev/", 5) != 0) return 0;
    snprintf(node, sizeof node, "%s/dev/.node/%s", root, target + length + 5);
    bytes = readlink(node, numbers, sizeof numbers - 1);
    if (bytes <= 0) return 0;
    numbers[bytes] = 0;
    if (sscanf(numbers, "%u:%u", &major_number, &minor_number) != 2) return 0;
    *device = makedev(major_number, minor_number);
    return 1;
}

/* What stat() on the node's path reports: a character device with the node's numbers. */
static void AsNode(int fd, mode_t* mode, dev_t* rdev) {
    dev_t device;
    if (!NodeNumbers(fd, &device)) return;
    *mode = (*mode & 07777) | S_IFCHR;
    *rdev = device;
}

int fstat(int fd, struct stat* status) {
    static int (*real)(int, struct stat*);
    int result;
    if (!real) real = (int (*)(int, struct stat*))dlsym(RTLD_NEXT, "fstat");
    result = real(fd, status);
    if (result == 0) AsNode(fd, &status->st_mode, &status->st_rdev);
    return result;
}

int fstat64(int fd, struct stat64* status) {
    static int (*real)(int, struct stat64*);
    int result;
    if (!real) real = (int (*)(int, struct stat64*))dlsym(RTLD_NEXT, "fstat64");
    result = real(fd, status);
    if (result == 0) AsNode(fd, &status->st_mode, &status->st_rdev);
    return result;
}
