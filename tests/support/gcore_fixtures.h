// Test fixtures for the core runtime: a private temporary directory and whole-file reads.
// Single-threaded helpers: create and destroy them on the test's main thread.
#ifndef ZT_TEST_GCORE_FIXTURES_H
#define ZT_TEST_GCORE_FIXTURES_H

#include <string>

// A mkdtemp directory removed with its files on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return mPath; }
    std::string file(const std::string &name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

// The whole content of a file; empty when it does not exist.
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);

#endif
