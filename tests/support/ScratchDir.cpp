#include "support/ScratchDir.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

ScratchDir::ScratchDir() {
    const char* env = std::getenv("TMPDIR");
    std::string templ = std::string(env && *env ? env : "/tmp") + "/corvina-test-XXXXXX";
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back(0);
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    path_ = name.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ScratchDir::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ScratchDir::List(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

std::string ScratchDir::FullDevice() const {
    struct stat st;
    if (stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) return "";
    const std::string own = File("full");
    if (mknod(own.c_str(), S_IFCHR | 0666, st.st_rdev) == 0) return own;
    return "/dev/full";
}
