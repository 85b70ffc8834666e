// The destination side of an offload: DEST and one folder level under it, chosen by the layout
// (the card's camera folder, or the day the file was last written, local time). Folders are
// created as needed and made durable; no link under DEST is followed. One per run, one thread.
#ifndef ZT_TOOLS_OFFLOAD_DEST_TREE_H
#define ZT_TOOLS_OFFLOAD_DEST_TREE_H

#include <sys/stat.h>

#include <string>

enum class Layout { Folder, Date };

class DestTree {
public:
    DestTree() = default;
    ~DestTree();
    DestTree(const DestTree &) = delete;
    DestTree &operator=(const DestTree &) = delete;

    // Opens DEST, creating it (one level) when missing; false with the reason otherwise.
    bool attach(const std::string &root, Layout layout, std::string *why);
    // The folder name under DEST for card file `rel` ("DIR/FILE") whose card status is `st`.
    std::string folderName(const std::string &rel, const struct stat &st) const;
    // Opens (creating when missing) DEST/name; a descriptor the caller closes, or -1 with *why.
    int openFolder(const std::string &name, std::string *why) const;
    const std::string &root() const { return mRoot; }

private:
    std::string mRoot;
    Layout mLayout = Layout::Folder;
    int mFd = -1;
};

#endif
