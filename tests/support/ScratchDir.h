#pragma once

#include <string>

// A fresh directory under $TMPDIR (or /tmp) for one test, removed with
// everything in it when the object goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path of a file inside the directory.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes bytes to a file inside the directory and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // Whole contents of a file ("" when it cannot be read).
    static std::string Read(const std::string& path);
    // Names of the directory's entries, sorted.
    static std::string List(const std::string& dir);
    // A node of the full device (/dev/full's) inside the directory, so a
    // faulty writer that replaces its target cannot take the system's own;
    // /dev/full itself where device nodes cannot be made; "" when neither.
    std::string FullDevice() const;

private:
    std::string path_;
};
