#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace common {

namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at (the path itself when it is not
// a link or does not exist yet). A dangling link resolves to where it points,
// so the write creates that file.
bool ResolveLinks(const std::string& path, std::string& target, std::string& errorText) {
    target = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(target.c_str(), buf, sizeof buf - 1);
        if (n < 0) {
            errorText = target + ": " + std::strerror(errno);
            return false;
        }
        const std::string to(buf, static_cast<std::size_t>(n));
        target = (!to.empty() && to[0] == '/') ? to : DirectoryOf(target) + "/" + to;
    }
    errorText = path + ": " + std::strerror(ELOOP);
    return false;
}

// A temporary file beside target, created exclusively; -1 on failure.
int CreateTemporary(const std::string& target, std::string& tmp, std::string& errorText) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = DirectoryOf(target) + "/." + BaseOf(target) + ".tmp-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmp = stem + std::to_string(counter.fetch_add(1));
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) {
            errorText = tmp + ": " + std::strerror(errno);
            return -1;
        }
    }
    errorText = tmp + ": " + std::strerror(EEXIST);
    return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& errorText) {
    std::string target;
    if (!ResolveLinks(path, target, errorText)) return false;
    std::string tmp;
    const int fd = CreateTemporary(target, tmp, errorText);
    if (fd < 0) return false;
    auto fail = [&](const std::string& where, int error) {
        errorText = where + ": " + std::strerror(error);
        ::unlink(tmp.c_str());
        return false;
    };
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        // Keep the owner where we may (root editing a user's file) and the mode always.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) { /* not ours to give away: keep ours */ }
        if (::fchmod(fd, old.st_mode & 07777) != 0) {
            const int e = errno;
            ::close(fd);
            return fail(tmp, e);
        }
    }
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return fail(tmp, e);
    }
    if (::close(fd) != 0) return fail(tmp, errno);
    if (::rename(tmp.c_str(), target.c_str()) != 0) return fail(target, errno);
    // Make the rename itself durable.
    const int dir = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& errorText) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        errorText = path + ": " + std::strerror(errno);
        return false;
    }
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            errorText = path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    bytes = std::move(out);
    return true;
}

}  // namespace common
