#include "log_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace qvt::linux_app {
namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameFile(const struct stat& target, const std::string& path) {
    struct stat other = {};
    return stat(path.c_str(), &other) == 0 && SameFile(target, other);
}

bool SameFile(const struct stat& target, int fd) {
    struct stat other = {};
    return fstat(fd, &other) == 0 && SameFile(target, other);
}

// /dev/null, /dev/zero and /dev/full: nothing written there is kept, so nothing can be garbled
// or destroyed, whoever else writes there.
bool KeepsNothing(const struct stat& target) {
    const unsigned minor_number = minor(target.st_rdev);
    return S_ISCHR(target.st_mode) && major(target.st_rdev) == 1 &&
           (minor_number == 3 || minor_number == 5 || minor_number == 7);
}

// The kernel's own file systems (/proc, /sys and the like): their files say they are regular,
// but what is written to one sets what it stands for (a process's name, a kernel setting).
bool IsKernelInterface(const struct statfs& place) {
    constexpr std::array<unsigned long, 13> kKernelFileSystems = {
        PROC_SUPER_MAGIC, SYSFS_MAGIC,    DEBUGFS_MAGIC, TRACEFS_MAGIC,      SECURITYFS_MAGIC,
        SELINUX_MAGIC,    SMACK_MAGIC,    BPF_FS_MAGIC,  CGROUP_SUPER_MAGIC, CGROUP2_SUPER_MAGIC,
        PSTOREFS_MAGIC,   EFIVARFS_MAGIC, BINFMTFS_MAGIC};
    return std::ranges::find(kKernelFileSystems, static_cast<unsigned long>(place.f_type)) !=
           kKernelFileSystems.end();
}

Result<void> RefuseKernelInterface(const std::string& path, const std::string& what) {
    return Result<void>::Failure(what + " " + path +
                                 " is a kernel interface, not a file; writing it would change "
                                 "the system");
}

}  // namespace

Result<void> CheckLogTarget(const std::string& path, const struct stat& target,
                            const Options& options, const std::string& what) {
    const auto refuse = [&](const std::string& why) {
        return Result<void>::Failure(what + " " + path + " " + why);
    };
    if (KeepsNothing(target)) return {};
    if (options.scenario_path && SameFile(target, *options.scenario_path)) {
        return refuse("is the scenario file; writing it would destroy it");
    }
    if (SameFile(target, "/proc/self/exe")) {
        return refuse("is this program; writing it would destroy it");
    }
    if (SameFile(target, STDOUT_FILENO)) {
        return refuse("is where standard output goes; the record would be mixed into it");
    }
    if (SameFile(target, STDERR_FILENO)) {
        return refuse("is where standard error goes; the record would be mixed into it");
    }
    switch (target.st_mode & S_IFMT) {
        case S_IFREG:
        case S_IFIFO:
            return {};
        case S_IFDIR:
            return refuse("is a directory");
        case S_IFBLK:
            return refuse("is a block device; writing it would destroy what it holds");
        case S_IFCHR:
            return refuse("is a device; the record goes to a file, a FIFO or /dev/null");
        default:
            return refuse("is neither a file nor a FIFO");
    }
}

Result<void> CheckLogPlace(const std::string& path, const Options& options,
                           const std::string& what) {
    struct stat target = {};
    if (stat(path.c_str(), &target) == 0) {
        if (Result<void> usable = CheckLogTarget(path, target, options, what); !usable) {
            return usable;
        }
        struct statfs place = {};
        if (statfs(path.c_str(), &place) == 0 && IsKernelInterface(place)) {
            return RefuseKernelInterface(path, what);
        }
        return {};
    }
    if (struct stat link = {};
        errno == ENOENT && lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Opening it would create the file it points to, wherever that is.
        return Result<void>::Failure(what + " " + path +
                                     " is a symbolic link to nothing; no file is made through it");
    }
    return {};
}

Result<UniqueFd> OpenLogFile(const std::string& path, const Options& options,
                             const std::string& what) {
    using Opened = Result<UniqueFd>;
    if (const Result<void> usable = CheckLogPlace(path, options, what); !usable) {
        return Opened::Failure(usable.error());
    }
    struct stat target = {};
    if (stat(path.c_str(), &target) != 0) target = {};
    // Not emptied yet: only what has passed the checks is. A FIFO without a reader fails at once
    // (O_NONBLOCK) instead of waiting for one, for ever if none comes.
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!fd && errno == ENXIO && S_ISFIFO(target.st_mode)) {
        return Opened::Failure(what + " " + path + " is a FIFO with no reader (" +
                               std::strerror(errno) + ")");
    }
    const auto failed = [&] {
        return Opened::Failure("cannot open " + what + " " + path + ": " + std::strerror(errno));
    };
    if (!fd) return failed();
    // The name may have come to mean another file since it was looked at.
    if (fstat(fd.get(), &target) != 0) return failed();
    if (const Result<void> usable = CheckLogTarget(path, target, options, what); !usable) {
        return Opened::Failure(usable.error());
    }
    if (struct statfs place = {}; fstatfs(fd.get(), &place) != 0) {
        return failed();
    } else if (IsKernelInterface(place)) {
        return Opened::Failure(RefuseKernelInterface(path, what).error());
    }
    // Its writer waits for a slow reader, and not the run.
    if (fcntl(fd.get(), F_SETFL, 0) != 0) return failed();
    if (S_ISREG(target.st_mode) && ftruncate(fd.get(), 0) != 0) return failed();
    return fd;
}

}  // namespace qvt::linux_app
