// Test fixtures for the core runtime: a private temporary directory, whole-file reads, and a
// scripted gtl allocator that counts allocations and fails from a chosen one on.
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

// While alive, every gtl allocation goes through a counting interface; allocation number
// `failFrom` (counted from 1) and all later ones return null. 0 never fails.
class ScriptedAllocator {
public:
    explicit ScriptedAllocator(int failFrom = 0);
    ~ScriptedAllocator();
    ScriptedAllocator(const ScriptedAllocator &) = delete;
    ScriptedAllocator &operator=(const ScriptedAllocator &) = delete;

    int allocations() const;  // attempts so far, failed ones included
};

#endif
