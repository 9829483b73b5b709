#pragma once

#include <sys/stat.h>

namespace corvina::detail {

// What a stat() mode names, for refusals of anything but a regular file.
inline const char* FileKindName(mode_t mode) {
    if (S_ISREG(mode)) return "regular file";
    if (S_ISDIR(mode)) return "directory";
    if (S_ISFIFO(mode)) return "FIFO";
    if (S_ISSOCK(mode)) return "socket";
    if (S_ISCHR(mode)) return "character device";
    if (S_ISBLK(mode)) return "block device";
    return "special file";
}

}  // namespace corvina::detail
