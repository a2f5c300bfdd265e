#include "BookLock.h"

#include "FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kMarker = ".marlo-";
constexpr const char* kTempPart = "save-";
constexpr std::size_t kRandomChars = 6; // the XXXXXX of mkostemp
// The longest ending after the marker: "save-XXXXXX".
constexpr std::size_t kLongestEnding = 5 + kRandomChars;

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

std::string SideFilePrefix(const std::string& target) {
    std::string name = FileNameOf(target);
    const std::size_t added = 1 + std::char_traits<char>::length(kMarker) + kLongestEnding;
    if (name.size() + added > NAME_MAX)
        name.resize(NAME_MAX - added);
    return FolderPart(target) + "." + name + kMarker;
}

void RemoveSaveDebris(const std::string& target) {
    const std::string folder = FolderPart(target);
    const std::string temp = FileNameOf(SideFilePrefix(target)) + kTempPart;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() == temp.size() + kRandomChars && name.starts_with(temp))
            (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

BookLock::BookLock(std::string target, std::string lockPath, int fd)
    : m_strTarget(std::move(target)), m_strLockPath(std::move(lockPath)), m_fd(fd) {}

BookLock::~BookLock() {
    // Removed while still held: whoever opened it meanwhile sees it gone and tries the next.
    ::unlink(m_strLockPath.c_str());
    ::close(m_fd);
}

std::unique_ptr<BookLock> BookLock::Acquire(const std::string& target, int& err, std::chrono::milliseconds wait) {
    const std::string lockPath = SideFilePrefix(target) + "lock";
    const auto giveUp = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
        if (fd < 0) {
            err = errno;
            return nullptr;
        }
        bool held = false;
        while (!(held = ::flock(fd, LOCK_EX | LOCK_NB) == 0) && (errno == EWOULDBLOCK || errno == EINTR) &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!held) {
            err = errno == EINTR ? EWOULDBLOCK : errno;
            ::close(fd);
            return nullptr;
        }
        // The file is the lock only while the name still leads to it.
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && ::lstat(lockPath.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
            opened.st_ino == named.st_ino) {
            auto lock = std::unique_ptr<BookLock>(new BookLock(target, lockPath, fd));
            RemoveSaveDebris(target);
            return lock;
        }
        ::close(fd);
    }
}
