#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Writes a file so that readers see either the old content or the whole new one, never a part.
// The content goes to a temporary file beside the target, hidden and plainly temporary
// (".<name>.XXXXXX.tmp"), created under a fresh random name so that no file or link already
// there is ever followed or overwritten, and readable by the owner alone until Commit() moves it
// over the target once it is safely on the disk. Until then the target is left exactly as it
// was; a failure, or destroying the object without Commit(), removes the temporary file.
//
// The new file takes over the permissions and owner of the file it replaces. A target that is a
// symbolic link stays a link: the file it points to is the one replaced.
//
// The temporary file is locked while it is written. A writer killed from outside leaves it
// behind; the next TAtomicFile in that folder removes such stale temporaries (see below).
//
// Errors are EContactFileError, with a message for the user naming the target.
class TAtomicFile {
public:
    explicit TAtomicFile(const std::string& target);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // Each piece goes to the file as it comes, so a long file need not be held in memory.
    void Write(const char* data, std::size_t size);
    void Write(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    // Puts the content on the disk under the target's name. Nothing may be written afterwards.
    void Commit();

private:
    void Discard() noexcept;
    [[noreturn]] void Fail(int error);
    [[noreturn]] void Fail(const std::string& reason);

    std::string target_;    // as the caller named it, for messages
    std::string real_;      // with the links at its last component followed: the file replaced
    std::string temporary_; // "" once renamed or removed
    int fd_ = -1;
    bool committed_ = false;
};

// Removes from the folder the temporary files writers killed before they could finish left
// there: ordinary files of this user named as TAtomicFile names them (".<name>.XXXXXX.tmp"),
// last changed before `before` (seconds since the epoch) and locked by no writer. Nothing else
// is touched, and what cannot be removed stays. Returns how many were removed.
std::size_t RemoveStaleTemporaries(const std::string& folder, std::int64_t before);

// The path with symbolic links at its last component followed until it names something that is
// not a link, or nothing at all. Links in the folders above are left as they are. An empty
// result and errno set when the links do not end (ELOOP) or cannot be read.
std::string FollowLinks(const std::string& path);

// Whether two paths name the same file however they are spelt: the same device and inode when
// both exist, and the same name in the same folder when neither does.
bool SameFile(const std::string& a, const std::string& b);
