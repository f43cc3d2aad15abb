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
template <typename Open> int opened(const char* call, int dirfd, const char* path, int flags, Open open)
{
    char full[PATH_MAX];
    const bool known = path && absolute(dirfd, path, full);
    if (known && (flags & (O_CREAT | O_TRUNC)) && watched(full))
        count(call, full);
    const int fd = open();
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

#define EXPORTED __attribute__((visibility("default")))

EXPORTED long vantrel_faults_operations(void)
{
    return g_operations.load();
}

EXPORTED long vantrel_faults_syncs(void)
{
    return g_syncs.load();
}

// open and its kin: the mode argument is there only when a file may be created.
#define OPEN(call, dirfd, parameters, ...)                                                                   \
    EXPORTED int call parameters                                                                             \
    {                                                                                                        \
        mode_t mode = 0;                                                                                     \
        if (takesMode(flags)) {                                                                              \
            va_list rest;                                                                                    \
            va_start(rest, flags);                                                                           \
            mode = va_arg(rest, mode_t);                                                                     \
            va_end(rest);                                                                                    \
        }                                                                                                    \
        REAL(call);                                                                                          \
        return opened(#call, dirfd, path, flags, [&] { return real_##call(__VA_ARGS__, mode); });            \
    }

OPEN(open, AT_FDCWD, (const char* path, int flags, ...), path, flags)
OPEN(open64, AT_FDCWD, (const char* path, int flags, ...), path, flags)
OPEN(openat, dirfd, (int dirfd, const char* path, int flags, ...), dirfd, path, flags)
OPEN(openat64, dirfd, (int dirfd, const char* path, int flags, ...), dirfd, path, flags)

EXPORTED int close(int fd)
{
    REAL(close);
    forget(fd);
    return real_close(fd);
}

// A call on a descriptor, counted when the descriptor was opened under the folder.
#define ON_DESCRIPTOR(result, call, sync, parameters, ...)                                                   \
    EXPORTED result call parameters                                                                          \
    {                                                                                                        \
        REAL(call);                                                                                          \
        countOnFd(#call, fd, sync);                                                                          \
        return real_##call(__VA_ARGS__);                                                                     \
    }

ON_DESCRIPTOR(ssize_t, write, false, (int fd, const void* data, size_t size), fd, data, size)
ON_DESCRIPTOR(ssize_t, pwrite, false, (int fd, const void* data, size_t size, off_t at), fd, data, size, at)
ON_DESCRIPTOR(ssize_t, pwrite64, false, (int fd, const void* data, size_t size, off64_t at), fd, data, size,
              at)
ON_DESCRIPTOR(ssize_t, writev, false, (int fd, const struct iovec* parts, int count), fd, parts, count)
ON_DESCRIPTOR(ssize_t, pwritev, false, (int fd, const struct iovec* parts, int count, off_t at), fd, parts,
              count, at)
ON_DESCRIPTOR(ssize_t, pwritev64, false, (int fd, const struct iovec* parts, int count, off64_t at), fd,
              parts, count, at)
ON_DESCRIPTOR(int, fsync, true, (int fd), fd)
ON_DESCRIPTOR(int, fdatasync, true, (int fd), fd)
ON_DESCRIPTOR(int, ftruncate, false, (int fd, off_t length), fd, length)
ON_DESCRIPTOR(int, ftruncate64, false, (int fd, off64_t length), fd, length)

// A call on a path, or on two, counted when one of them is under the folder.
#define ON_PATH(call, dirfd, path, parameters, ...)                                                          \
    EXPORTED int call parameters                                                                             \
    {                                                                                                        \
        REAL(call);                                                                                          \
        countOnPath(#call, dirfd, path);                                                                     \
        return real_##call(__VA_ARGS__);                                                                     \
    }
#define ON_PATHS(call, fromfd, from, tofd, to, parameters, ...)                                              \
    EXPORTED int call parameters                                                                             \
    {                                                                                                        \
        REAL(call);                                                                                          \
        countOnPaths(#call, fromfd, from, tofd, to);                                                         \
        return real_##call(__VA_ARGS__);                                                                     \
    }

ON_PATH(unlink, AT_FDCWD, path, (const char* path), path)
ON_PATH(unlinkat, dirfd, path, (int dirfd, const char* path, int flags), dirfd, path, flags)
ON_PATH(mkdir, AT_FDCWD, path, (const char* path, mode_t mode), path, mode)
ON_PATH(mkdirat, dirfd, path, (int dirfd, const char* path, mode_t mode), dirfd, path, mode)
ON_PATHS(rename, AT_FDCWD, from, AT_FDCWD, to, (const char* from, const char* to), from, to)
ON_PATHS(renameat, fromfd, from, tofd, to, (int fromfd, const char* from, int tofd, const char* to), fromfd,
         from, tofd, to)
ON_PATHS(renameat2, fromfd, from, tofd, to,
         (int fromfd, const char* from, int tofd, const char* to, unsigned int flags), fromfd, from, tofd, to,
         flags)
ON_PATHS(link, AT_FDCWD, from, AT_FDCWD, to, (const char* from, const char* to), from, to)
ON_PATHS(linkat, fromfd, from, tofd, to, (int fromfd, const char* from, int tofd, const char* to, int flags),
         fromfd, from, tofd, to, flags)

} // extern "C"
