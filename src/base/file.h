// Object files: C streams opened on UTF-16 names, with the failures logged. Reading
// is byte by byte on a stream that only one reader uses, so the unlocked reads apply.
#pragma once

#include <cstdint>
#include <cstdio>

namespace kova::base {

constexpr int kEndOfFile = EOF;
constexpr unsigned kReadLineCapacity = 512;

// Modes: "rb" to read, "w" to create or truncate, "a+" to append. Returns 0, or 1
// after logging the failure with the file name.
int open_file(FILE **handle, const char16_t *path, const char *mode);

// Returns 1 (and logs) when the close reports an error.
int close_file(FILE *handle, const char16_t *path);

// One line of at most 511 bytes into buffer (512 bytes), cut at its first LF and then
// at its first CR. Returns 1 at end of file or on a read error.
int read_line(char *buffer, FILE *handle);

// The text and one newline; returns 1 when the stream reports an error.
int write_line(FILE *handle, const char *text);

// Deletes the file; on failure logs the name and the system error and returns 1.
int remove_file(const char16_t *path);

inline long tell(FILE *handle) { return std::ftell(handle); }
inline void rewind_file(FILE *handle) { std::rewind(handle); }
inline void seek_to(FILE *handle, long position) { std::fseek(handle, position, SEEK_SET); }
inline int get_char(FILE *handle) { return getc_unlocked(handle); }
inline bool at_end(FILE *handle) { return feof_unlocked(handle) != 0; }

// Owns a stream opened with open_file; closes it (logging a failed close) once.
class File {
public:
    File() = default;
    ~File() { close(); }
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    int open(const char16_t *path, const char *mode)
    {
        close();
        path_ = path;
        return open_file(&handle_, path, mode);
    }
    int close()
    {
        int rc = handle_ ? close_file(handle_, path_) : 0;
        handle_ = nullptr;
        return rc;
    }
    FILE *get() const { return handle_; }

private:
    FILE *handle_ = nullptr;
    const char16_t *path_ = nullptr;
};

}  // namespace kova::base
