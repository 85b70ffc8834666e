#include "support/gcore_fixtures.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "gtl/gtl_mem.h"

TempDir::TempDir() {
    char tmpl[] = "/tmp/gcore_test.XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    mPath = tmpl;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool fileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

namespace {

int gAttempts = 0;
int gFailFrom = 0;
gtl_mem_ifc *gPrevious = nullptr;

bool allowNext() {
    ++gAttempts;
    return gFailFrom == 0 || gAttempts < gFailFrom;
}

void *scriptedMalloc(size_t size) { return allowNext() ? malloc(size) : nullptr; }
void *scriptedCalloc(size_t count, size_t size) { return allowNext() ? calloc(count, size) : nullptr; }
void *scriptedRealloc(void *block, size_t size) { return allowNext() ? realloc(block, size) : nullptr; }

gtl_mem_ifc gScripted = {scriptedMalloc, free, scriptedCalloc, scriptedRealloc};

}  // namespace

ScriptedAllocator::ScriptedAllocator(int failFrom) {
    gAttempts = 0;
    gFailFrom = failFrom;
    gPrevious = gtl_mem_ifc_active;
    gtl_mem_override(&gScripted);
}

ScriptedAllocator::~ScriptedAllocator() { gtl_mem_override(gPrevious); }

int ScriptedAllocator::allocations() const { return gAttempts; }
