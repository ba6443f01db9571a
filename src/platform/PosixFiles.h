// What the POSIX halves of the platform share: a descriptor that closes itself, a call retried
// while a signal interrupts it, and the tests of a file's kind and identity.
#pragma once

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// Owns one file descriptor and closes it when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    // The descriptor held until now goes with `other`.
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~UniqueFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Gives the descriptor up, for a close whose failure counts.
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Runs `call` again for as long as it fails with EINTR; its last result.
template <typename Call> auto retryOnInterrupt(Call call)
{
    for (;;)
        if (const auto result = call(); result >= 0 || errno != EINTR)
            return result;
}

// True when both describe the very same file.
inline bool sameFile(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// True when `path`, links followed, is of `type` (S_IFREG, S_IFDIR ...). A type of 0 takes an
// entry of any kind as it stands, a link that leads nowhere included.
inline bool hasType(const std::filesystem::path& path, mode_t type)
{
    struct stat info {};
    if (type == 0)
        return ::lstat(path.c_str(), &info) == 0;
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}
