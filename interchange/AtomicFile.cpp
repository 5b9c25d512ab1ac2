#include "interchange/AtomicFile.h"

#include "interchange/ContactFileError.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the kernel itself follows in one path.
constexpr int kMaxLinks = 40;
// "." before the name and ".XXXXXX.tmp" after it.
constexpr std::size_t kTemporaryExtra = 12;

// The folder part of a path with its last slash, or "" for a bare name.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderToOpen(const std::string& path) {
    const std::string folder = FolderOf(path);
    return folder.empty() ? "." : folder;
}

// The first bytes of a name, never ending inside a UTF-8 character.
std::string Shortened(const std::string& name, std::size_t most) {
    if (name.size() <= most)
        return name;
    while (most > 0 && (static_cast<unsigned char>(name[most]) & 0xC0) == 0x80)
        --most;
    return name.substr(0, most);
}

std::string Reason(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: // a file-size limit
        return "the disk may be full";
    default:
        return std::generic_category().message(error);
    }
}

// Linux shows the umask in /proc; elsewhere reading it means setting it for a moment.
mode_t CurrentUmask() {
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask);
    }
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Whether a folder entry has the name TAtomicFile gives its temporaries: a dot, a name, a dot,
// six letters or digits (mkstemps's choice), ".tmp".
bool IsTemporaryName(const std::string& name) {
    constexpr std::size_t kTail = 11; // ".XXXXXX.tmp"
    if (name.size() < 1 + 1 + kTail || name[0] != '.')
        return false;
    const std::size_t at = name.size() - kTail;
    if (name[at] != '.' || name.compare(at + 7, 4, ".tmp") != 0)
        return false;
    for (std::size_t i = at + 1; i < at + 7; ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

} // namespace

std::size_t RemoveStaleTemporaries(const std::string& folder, std::int64_t before) {
    const std::string path = folder.empty() ? "." : folder;
    DIR* dir = opendir(path.c_str());
    if (!dir)
        return 0;
    const std::string prefix = path.back() == '/' ? path : path + "/";
    std::size_t removed = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsTemporaryName(name))
            continue;
        const std::string file = prefix + name;
        // Opened without following a link, so that only a file itself is looked at.
        const int fd = open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        struct stat named {};
        // A writer still at work holds its lock; a killed one's lock went with it.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
            st.st_mtime < before && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            lstat(file.c_str(), &named) == 0 && named.st_dev == st.st_dev &&
            named.st_ino == st.st_ino && unlink(file.c_str()) == 0)
            ++removed;
        close(fd);
    }
    closedir(dir);
    return removed;
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current; // missing or unreachable paths are for the caller to report
        char buffer[PATH_MAX];
        const ssize_t size = readlink(current.c_str(), buffer, sizeof buffer);
        if (size < 0)
            return {};
        if (size == static_cast<ssize_t>(sizeof buffer)) {
            errno = ENAMETOOLONG;
            return {};
        }
        const std::string link(buffer, static_cast<std::size_t>(size));
        current = link[0] == '/' ? link : FolderOf(current) + link;
    }
    errno = ELOOP;
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    const std::string realA = FollowLinks(a);
    const std::string realB = FollowLinks(b);
    if (realA.empty() || realB.empty())
        return false;
    struct stat statA {};
    struct stat statB {};
    const bool hasA = stat(realA.c_str(), &statA) == 0;
    const bool hasB = stat(realB.c_str(), &statB) == 0;
    if (hasA || hasB)
        return hasA && hasB && statA.st_dev == statB.st_dev && statA.st_ino == statB.st_ino;
    return NameOf(realA) == NameOf(realB) && stat(FolderToOpen(realA).c_str(), &statA) == 0 &&
           stat(FolderToOpen(realB).c_str(), &statB) == 0 && statA.st_dev == statB.st_dev &&
           statA.st_ino == statB.st_ino;
}

TAtomicFile::TAtomicFile(const std::string& target) : target_(target) {
    real_ = FollowLinks(target);
    if (real_.empty())
        Fail(errno);
    const std::string name = NameOf(real_);
    if (name.empty() || name == "." || name == "..")
        Fail(EISDIR);
    struct stat st {};
    if (stat(real_.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        Fail(S_ISDIR(st.st_mode) ? "it is a folder" : "it is not an ordinary file");
    // mkstemps picks a name nothing is at and creates the file exclusively, mode 0600.
    std::size_t keep = std::min<std::size_t>(name.size(), NAME_MAX - kTemporaryExtra);
    for (;;) {
        std::string pattern = FolderOf(real_) + "." + Shortened(name, keep) + ".XXXXXX.tmp";
        fd_ = mkostemps(pattern.data(), 4, O_CLOEXEC);
        if (fd_ >= 0) {
            temporary_ = pattern;
            break;
        }
        // Some file systems allow shorter names than most.
        if (errno != ENAMETOOLONG || keep <= 8)
            Fail(errno);
        keep /= 2;
    }
    // Locked for as long as it is written, so that no other writer takes it for a stale one
    // (where the file system has no such locks, its recent change time still keeps it).
    flock(fd_, LOCK_EX | LOCK_NB);
    // Stale temporaries, last changed before this one was begun, are taken away.
    struct stat own {};
    if (fstat(fd_, &own) == 0)
        RemoveStaleTemporaries(FolderOf(real_), own.st_mtime);
}

TAtomicFile::~TAtomicFile() {
    Discard();
}

void TAtomicFile::Write(const char* data, std::size_t size) {
    if (committed_ || fd_ < 0)
        throw std::logic_error("TAtomicFile: written after Commit or a failure");
    while (size > 0) {
        const ssize_t wrote = ::write(fd_, data, size);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            Fail(wrote < 0 ? errno : ENOSPC);
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
}

void TAtomicFile::Commit() {
    if (committed_ || fd_ < 0)
        throw std::logic_error("TAtomicFile: committed twice or after a failure");
    struct stat old {};
    if (stat(real_.c_str(), &old) == 0) {
        if (!S_ISREG(old.st_mode))
            Fail("it is not an ordinary file");
        // Only root may give a file away: anyone else keeps at least the group if they can.
        // Owner first, as a change of owner clears the set-ID bits.
        int owned = fchown(fd_, old.st_uid, old.st_gid);
        if (owned != 0 && errno == EPERM)
            owned = fchown(fd_, static_cast<uid_t>(-1), old.st_gid);
        if (owned != 0 && errno != EPERM)
            Fail(errno);
        struct stat now {};
        if (fstat(fd_, &now) != 0)
            Fail(errno);
        mode_t mode = old.st_mode & 07777;
        // What the old group could do is not handed to another one.
        if (now.st_gid != old.st_gid)
            mode &= ~(S_IRWXG | S_ISGID);
        if (now.st_uid != old.st_uid)
            mode &= ~S_ISUID;
        if (fchmod(fd_, mode) != 0)
            Fail(errno);
    } else if (errno == ENOENT) {
        // What open with 0666 would have given a new file.
        if (fchmod(fd_, 0666 & ~CurrentUmask()) != 0)
            Fail(errno);
    } else {
        Fail(errno);
    }
    if (fsync(fd_) != 0)
        Fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 && errno != EINTR)
        Fail(errno);
    if (std::rename(temporary_.c_str(), real_.c_str()) != 0)
        Fail(errno);
    committed_ = true;
    // The new name is on the disk only once the folder holding it is.
    const int folder = open(FolderToOpen(real_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const int synced = fsync(folder);
        const int error = errno;
        close(folder);
        if (synced != 0 && error != EINVAL) // EINVAL: the file system keeps no such promise
            Fail(error);
    }
}

void TAtomicFile::Discard() noexcept {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!committed_ && !temporary_.empty())
        unlink(temporary_.c_str());
    temporary_.clear();
}

void TAtomicFile::Fail(int error) {
    Fail(Reason(error));
}

void TAtomicFile::Fail(const std::string& reason) {
    Discard();
    throw EContactFileError("Cannot write \"" + target_ + "\": " + reason + ".");
}
