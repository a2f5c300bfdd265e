#pragma once
// One writer at a time for each phone book. A writer (a save, an import from its read
// to its save) holds the book's lock: an flock(2) on a hidden file beside the book,
// ".<name>.marlo-lock". The lock is not taken on the book itself because a save
// replaces the book by a rename: a writer waiting on the old file would get a lock
// on a file that no longer has the name, and a book that does not exist yet has no
// file to lock. The holder removes the lock file as it lets go; a waiter that finds
// its file gone since it opened it tries again on the new one. Readers never look.

#include <chrono>
#include <memory>
#include <string>

/// The start of every name a save keeps beside the book at `target`:
/// "<folder>/.<name>.marlo-" (the name cut where the longest ending would not fit).
/// After it come "lock", "save-XXXXXX" (a save's temporary file), "new" and "old"
/// (the complete new and old contents while a file with other links is written in place).
std::string SideFilePrefix(const std::string& target);

/// Removes the temporary files that saves of the book at `target` left behind (a save
/// killed half-way). Only for the holder of the book's lock: no live save is writing one.
void RemoveSaveDebris(const std::string& target);

class BookLock {
public:
    /// How long a second writer waits for the first before it gives up.
    static constexpr std::chrono::milliseconds kWait{1500};

    /// Takes the lock of the book at `target` (its links already followed), waiting up to
    /// `wait` while another writer holds it, and removes the debris of killed saves.
    /// Null with `err` set on failure: EWOULDBLOCK when the other writer kept it.
    static std::unique_ptr<BookLock> Acquire(const std::string& target, int& err,
                                             std::chrono::milliseconds wait = kWait);
    ~BookLock();
    BookLock(const BookLock&) = delete;
    BookLock& operator=(const BookLock&) = delete;

    /// The book this lock is for.
    const std::string& Target() const noexcept { return m_strTarget; }

private:
    BookLock(std::string target, std::string lockPath, int fd);

    std::string m_strTarget;
    std::string m_strLockPath;
    int m_fd;
};
