// Preloaded (LD_PRELOAD) into a program for crash tests: counts the calls that
// change a file or make it durable, on files and folders under one folder, and
// can kill the program just before the N-th of them, as a crash there would.
//
//   VANTREL_FAULTS_DIR=PREFIX   count paths that start with PREFIX (all when unset or empty)
//   VANTREL_FAULTS_KILL_AT=N    SIGKILL just before the N-th counted operation (N >= 1)
//   VANTREL_FAULTS_REPORT=FILE  at exit, append "operations <n> syncs <m>" to FILE
//   VANTREL_FAULTS_TRACE=FILE   append "<n> <call> <path> [<path>]" per counted operation
//
// vantrel_faults_operations() and vantrel_faults_syncs() read the counts in-process.

// The wrappers below define the C library's own names: no fortified inline
// versions, and no redirection of open to open64.
#undef _FORTIFY_SOURCE
#undef _FILE_OFFSET_BITS

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

struct Settings
{
    char prefix[PATH_MAX] = {};
    size_t prefixLength = 0;
    long killAt = 0;
    char report[PATH_MAX] = {};
    int trace = -1;
};

Settings g_settings;
pthread_once_t g_loaded = PTHREAD_ONCE_INIT;
std::atomic<long> g_operations{0};
std::atomic<long> g_syncs{0};

// The path each watched descriptor was opened with; null for the others.
// Filled at open and cleared at close, so that a write needs no look-up.
constexpr int watchedFds = 8192;
std::atomic<char*> g_paths[watchedFds];

template <typename F> F real(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

#define REAL(name) static const auto real_##name = real<decltype(&::name)>(#name)

void load()
{
    if (const char* prefix = std::getenv("VANTREL_FAULTS_DIR"); prefix && std::strlen(prefix) < PATH_MAX) {
        std::strcpy(g_settings.prefix, prefix);
        g_settings.prefixLength = std::strlen(prefix);
    }
    if (const char* killAt = std::getenv("VANTREL_FAULTS_KILL_AT"))
        g_settings.killAt = std::atol(killAt);
    if (const char* report = std::getenv("VANTREL_FAULTS_REPORT"); report && std::strlen(report) < PATH_MAX)
        std::strcpy(g_settings.report, report);
    if (const char* trace = std::getenv("VANTREL_FAULTS_TRACE"); trace && *trace)
        g_settings.trace = real<int (*)(const char*, int, ...)>("open")(
            trace, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}

const Settings& settings()
{
    pthread_once(&g_loaded, load);
    return g_settings;
}

// The prefix itself without its last slash is the folder: its own sync counts.
bool watched(const char* path)
{
    const Settings& s = settings();
    if (s.prefixLength == 0)
        return true;
    if (std::strncmp(path, s.prefix, s.prefixLength) == 0)
        return true;
    const size_t length = std::strlen(path);
    return s.prefix[s.prefixLength - 1] == '/' && length + 1 == s.prefixLength &&
           std::strncmp(path, s.prefix, length) == 0;
}

// The path of a descriptor that is not in the table (a large one).
bool linkedPath(int fd, char* out)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, out, PATH_MAX - 1);
    if (length < 0)
        return false;
    out[length] = '\0';
    return true;
}

// `path` made absolute against a folder descriptor or the working folder.
bool absolute(int dirfd, const char* path, char* out)
{
    if (path[0] == '/') {
        std::snprintf(out, PATH_MAX, "%s", path);
        return true;
    }
    char base[PATH_MAX];
    if (dirfd == AT_FDCWD) {
        if (!getcwd(base, sizeof base))
            return false;
    } else if (dirfd >= 0 && dirfd < watchedFds && g_paths[dirfd].load()) {
        std::snprintf(base, sizeof base, "%s", g_paths[dirfd].load());
    } else if (!linkedPath(dirfd, base)) {
        return false;
    }
    const size_t baseLength = std::strlen(base);
    const size_t pathLength = std::strlen(path);
    if (baseLength + 1 + pathLength >= PATH_MAX)
        return false;
    std::memcpy(out, base, baseLength);
    out[baseLength] = '/';
    std::memcpy(out + baseLength + 1, path, pathLength + 1);
    return true;
}

void remember(int fd, const char* path)
{
    if (fd < 0 || fd >= watchedFds)
        return;
    char* copy = watched(path) ? strdup(path) : nullptr;
    std::free(g_paths[fd].exchange(copy));
}

void forget(int fd)
{
    if (fd >= 0 && fd < watchedFds)
        std::free(g_paths[fd].exchange(nullptr));
}

void traceLine(long number, const char* call, const char* path, const char* other)
{
    char line[2 * PATH_MAX + 64];
    const int length = std::snprintf(line, sizeof line, "%ld %s %s%s%s\n", number, call, path,
                                     other ? " " : "", other ? other : "");
    REAL(write);
    if (length > 0)
        real_write(settings().trace, line, std::min<size_t>(size_t(length), sizeof line - 1));
}

// One counted operation, about to be performed.
void count(const char* call, const char* path, const char* other = nullptr, bool sync = false)
{
    const long number = ++g_operations;
    if (sync)
        ++g_syncs;
    if (settings().killAt > 0 && number == settings().killAt)
        kill(getpid(), SIGKILL);
    if (settings().trace >= 0)
        traceLine(number, call, path, other);
}

// The watched path a descriptor was opened with, or null.
const char* pathOf(int fd)
{
    if (fd >= 0 && fd < watchedFds)
        return g_paths[fd].load();
    static thread_local char linked[PATH_MAX];
    return fd >= 0 && linkedPath(fd, linked) && watched(linked) ? linked : nullptr;
}

void countOnFd(const char* call, int fd, bool sync = false)
{
    if (const char* path = pathOf(fd))
        count(call, path, nullptr, sync);
}

void countOnPath(const char* call, int dirfd, const char* path)
{
    char full[PATH_MAX];
    if (path && absolute(dirfd, path, full) && watched(full))
        count(call, full);
}

void countOnPaths(const char* call, int olddirfd, const char* oldpath, int newdirfd, const char* newpath)
{
    char from[PATH_MAX], to[PATH_MAX];
    if (!oldpath || !newpath || !absolute(olddirfd, oldpath, from) || !absolute(newdirfd, newpath, to))
        return;
    if (watched(from) || watched(to))
        count(call, from, to);
}

bool takesMode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

// Every open is seen, so that the descriptor table is right; only those that
// create or truncate count.
template <typename Open>
int opened(const char* call, int dirfd, const char* path, int flags, mode_t mode, Open open)
{
    char full[PATH_MAX];
    const bool known = path && absolute(dirfd, path, full);
    if (known && (flags & (O_CREAT | O_TRUNC)) && watched(full))
        count(call, full);
    const int fd = open(mode);
    if (fd >= 0) {
        if (known)
            remember(fd, full);
        else
            forget(fd);
    }
    return fd;
}

__attribute__((destructor)) void writeReport()
{
    const Settings& s = settings();
    if (!s.report[0])
        return;
    REAL(write);
    REAL(close);
    const int fd =
        real<int (*)(const char*, int, ...)>("open")(s.report, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd < 0)
        return;
    char line[96];
    const int length =
        std::snprintf(line, sizeof line, "operations %ld syncs %ld\n", g_operations.load(), g_syncs.load());
    if (length > 0)
        real_write(fd, line, size_t(length));
    real_close(fd);
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) long vantrel_faults_operations(void)
{
    return g_operations.load();
}

__attribute__((visibility("default"))) long vantrel_faults_syncs(void)
{
    return g_syncs.load();
}

#define MODE_ARGUMENT(flags)                                                                                 \
    mode_t mode = 0;                                                                                         \
    if (takesMode(flags)) {                                                                                  \
        va_list rest;                                                                                        \
        va_start(rest, flags);                                                                               \
        mode = va_arg(rest, mode_t);                                                                         \
        va_end(rest);                                                                                        \
    }

#define EXPORTED __attribute__((visibility("default")))

EXPORTED int open(const char* path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    REAL(open);
    return opened("open", AT_FDCWD, path, flags, mode, [&](mode_t m) { return real_open(path, flags, m); });
}

EXPORTED int open64(const char* path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    REAL(open64);
    return opened("open64", AT_FDCWD, path, flags, mode,
                  [&](mode_t m) { return real_open64(path, flags, m); });
}

EXPORTED int openat(int dirfd, const char* path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    REAL(openat);
    return opened("openat", dirfd, path, flags, mode,
                  [&](mode_t m) { return real_openat(dirfd, path, flags, m); });
}

EXPORTED int openat64(int dirfd, const char* path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    REAL(openat64);
    return opened("openat64", dirfd, path, flags, mode,
                  [&](mode_t m) { return real_openat64(dirfd, path, flags, m); });
}

EXPORTED int close(int fd)
{
    REAL(close);
    forget(fd);
    return real_close(fd);
}

EXPORTED ssize_t write(int fd, const void* buffer, size_t size)
{
    REAL(write);
    countOnFd("write", fd);
    return real_write(fd, buffer, size);
}

EXPORTED ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset)
{
    REAL(pwrite);
    countOnFd("pwrite", fd);
    return real_pwrite(fd, buffer, size, offset);
}

EXPORTED ssize_t pwrite64(int fd, const void* buffer, size_t size, off64_t offset)
{
    REAL(pwrite64);
    countOnFd("pwrite64", fd);
    return real_pwrite64(fd, buffer, size, offset);
}

EXPORTED ssize_t writev(int fd, const struct iovec* parts, int count)
{
    REAL(writev);
    countOnFd("writev", fd);
    return real_writev(fd, parts, count);
}

EXPORTED ssize_t pwritev(int fd, const struct iovec* parts, int count, off_t offset)
{
    REAL(pwritev);
    countOnFd("pwritev", fd);
    return real_pwritev(fd, parts, count, offset);
}

EXPORTED ssize_t pwritev64(int fd, const struct iovec* parts, int count, off64_t offset)
{
    REAL(pwritev64);
    countOnFd("pwritev64", fd);
    return real_pwritev64(fd, parts, count, offset);
}

EXPORTED int fsync(int fd)
{
    REAL(fsync);
    countOnFd("fsync", fd, true);
    return real_fsync(fd);
}

EXPORTED int fdatasync(int fd)
{
    REAL(fdatasync);
    countOnFd("fdatasync", fd, true);
    return real_fdatasync(fd);
}

EXPORTED int ftruncate(int fd, off_t length)
{
    REAL(ftruncate);
    countOnFd("ftruncate", fd);
    return real_ftruncate(fd, length);
}

EXPORTED int ftruncate64(int fd, off64_t length)
{
    REAL(ftruncate64);
    countOnFd("ftruncate64", fd);
    return real_ftruncate64(fd, length);
}

EXPORTED int rename(const char* from, const char* to)
{
    REAL(rename);
    countOnPaths("rename", AT_FDCWD, from, AT_FDCWD, to);
    return real_rename(from, to);
}

EXPORTED int renameat(int fromfd, const char* from, int tofd, const char* to)
{
    REAL(renameat);
    countOnPaths("renameat", fromfd, from, tofd, to);
    return real_renameat(fromfd, from, tofd, to);
}

EXPORTED int renameat2(int fromfd, const char* from, int tofd, const char* to, unsigned int flags)
{
    REAL(renameat2);
    countOnPaths("renameat2", fromfd, from, tofd, to);
    return real_renameat2(fromfd, from, tofd, to, flags);
}

EXPORTED int unlink(const char* path)
{
    REAL(unlink);
    countOnPath("unlink", AT_FDCWD, path);
    return real_unlink(path);
}

EXPORTED int unlinkat(int dirfd, const char* path, int flags)
{
    REAL(unlinkat);
    countOnPath("unlinkat", dirfd, path);
    return real_unlinkat(dirfd, path, flags);
}

EXPORTED int mkdir(const char* path, mode_t mode)
{
    REAL(mkdir);
    countOnPath("mkdir", AT_FDCWD, path);
    return real_mkdir(path, mode);
}

EXPORTED int mkdirat(int dirfd, const char* path, mode_t mode)
{
    REAL(mkdirat);
    countOnPath("mkdirat", dirfd, path);
    return real_mkdirat(dirfd, path, mode);
}

EXPORTED int link(const char* from, const char* to)
{
    REAL(link);
    countOnPaths("link", AT_FDCWD, from, AT_FDCWD, to);
    return real_link(from, to);
}

EXPORTED int linkat(int fromfd, const char* from, int tofd, const char* to, int flags)
{
    REAL(linkat);
    countOnPaths("linkat", fromfd, from, tofd, to);
    return real_linkat(fromfd, from, tofd, to, flags);
}

} // extern "C"
