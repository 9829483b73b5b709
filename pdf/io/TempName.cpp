#include "pdf/io/TempName.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace corvina {

std::string& TempSettings::Directory() {
    static std::string directory;
    return directory;
}

std::string& TempSettings::Prefix() {
    static std::string prefix = "cv";
    return prefix;
}

bool GetTempName(const char* dir, const char* prefix, char* out, int outSize) {
    if (!out || outSize < 1) {
        errno = EINVAL;
        return false;
    }
    out[0] = 0;
    std::string path;
    if (dir && *dir) {
        path = dir;
    } else {
        const char* env = std::getenv("TMPDIR");
        path = env && *env ? env : "/tmp";
    }
    if (path.back() != '/') path += '/';
    if (prefix) path += prefix;
    path += "XXXXXX";
    // Checked before the file exists, so a refusal leaves nothing behind.
    if (path.size() + 1 > static_cast<size_t>(outSize)) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::vector<char> name(path.begin(), path.end());
    name.push_back(0);
    const int fd = mkstemp(name.data());
    if (fd < 0) return false;
    close(fd);
    std::memcpy(out, name.data(), name.size());
    return true;
}

bool GetTempName(const std::string& dir, const char* prefix, const char* suffix, std::string* out) {
    std::string path = dir.empty() ? "." : dir;
    if (path.back() != '/') path += '/';
    if (prefix) path += prefix;
    path += "XXXXXX";
    const size_t suffixLength = suffix ? std::strlen(suffix) : 0;
    if (suffix) path += suffix;
    const int fd = ::mkstemps(path.data(), static_cast<int>(suffixLength));
    if (fd < 0) return false;
    ::close(fd);
    *out = std::move(path);
    return true;
}

int CheckTempDir(const char* dir) {
    if (!dir || !*dir) return ENOENT;
    struct stat st;
    if (::stat(dir, &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    std::vector<char> name(PATH_MAX);
    if (!GetTempName(dir, "cv", name.data(), static_cast<int>(name.size())))
        return errno ? errno : EACCES;
    ::unlink(name.data());
    return 0;
}

}  // namespace corvina
