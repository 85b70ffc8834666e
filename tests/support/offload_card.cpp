#include "tests/support/offload_card.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "ztMedia/ztMediaDB.h"

namespace fs = std::filesystem;

namespace {

// A missing file reads as no card file's bytes.
std::string readAll(const std::string &path) { return fileExists(path) ? readFile(path) : "\x01missing"; }

std::string writeCard(const std::string &root, const std::vector<std::pair<std::string, size_t>> &files,
                      std::vector<std::string> *names)
{
    std::mt19937_64 random(files.size());
    for (const auto &[rel, size] : files) {
        fs::create_directories(fs::path(root + "/card/DCIM/" + rel).parent_path());
        std::string bytes(size, '\0');
        for (char &c : bytes)
            c = char(random());
        std::ofstream(root + "/card/DCIM/" + rel, std::ios::binary) << bytes;
        names->push_back(rel);
    }
    return root;
}

}  // namespace

OffloadCard::OffloadCard(const std::vector<std::pair<std::string, size_t>> &files)
    : mRoot(writeCard(mDir.path(), files, &mFiles)),
      mServer(ServerProcess::fromArgs({"--card", mRoot + "/card", "--state", mRoot + "/state.sqlite"}))
{
}

std::vector<std::pair<std::string, size_t>> OffloadCard::photos(size_t n, size_t minSize, size_t maxSize,
                                                                size_t bigEvery, size_t bigSize)
{
    std::vector<std::pair<std::string, size_t>> out;
    std::mt19937 random{static_cast<unsigned>(n)};
    for (size_t i = 0; i < n; ++i) {
        char name[48];
        std::snprintf(name, sizeof name, "%sZTCAM/ZP01%04zu.JPG", i % 2 ? "101" : "100", i + 1);
        const bool big = bigEvery && i % bigEvery == bigEvery - 1;
        out.emplace_back(name, big ? bigSize : minSize + random() % (maxSize - minSize + 1));
    }
    return out;
}

std::vector<std::string> OffloadCard::args(std::vector<std::string> more) const
{
    std::vector<std::string> a = {"--card", card(), "--to", dest(), "--once"};
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

std::vector<std::string> OffloadCard::offloaded() const
{
    return withState([](uint32_t state) { return state == 2; });
}

std::vector<std::string> OffloadCard::tracked() const
{
    return withState([](uint32_t) { return true; });
}

std::vector<std::string> OffloadCard::withState(bool (*keep)(uint32_t state)) const
{
    std::vector<std::string> out;
    for (const std::string &rel : mFiles) {
        db_file_spec fs{};
        std::memcpy(fs.dir_name, rel.data(), DB_DIR_NAME_LEN);
        std::memcpy(fs.file_name, rel.data() + DB_DIR_NAME_LEN + 1, DB_FILE_NAME_LEN);
        db_content_info ci{};
        if (dbGetContentInfo(nullptr, &fs, &ci) == 0 && keep(ci.upload_status & 0xFFFF))
            out.push_back(rel);
    }
    return out;
}

bool OffloadCard::wholeOnDest(const std::string &rel) const
{
    return readAll(dest() + "/" + rel) == readAll(card() + "/DCIM/" + rel);
}

std::vector<std::string> OffloadCard::markedWithoutCopy() const
{
    std::vector<std::string> bad;
    for (const std::string &rel : offloaded())
        if (!wholeOnDest(rel))
            bad.push_back(rel);
    return bad;
}
