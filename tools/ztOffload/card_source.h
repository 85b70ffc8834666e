// The card side of an offload. The folder given by --card holds DCIM/; a path the candidate list
// hands out ("/tmp/fuse_d/DCIM/DIR/FILE") names DIR/FILE under it. Names come from the database,
// so each is checked before it touches the file system, and no link on the card is followed.
// One CardSource per run, used by one thread.
#ifndef ZT_TOOLS_OFFLOAD_CARD_SOURCE_H
#define ZT_TOOLS_OFFLOAD_CARD_SOURCE_H

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

// "DIR/FILE" (an 8-character camera folder, a 12-character file name) from a handed-out path;
// false when the path has another prefix or form, or a name that could leave its folder.
bool cardRelativePath(const std::string &handedOut, std::string *rel);

// One file opened on the card, with what fstat said at opening. Closes itself.
class CardFile {
public:
    CardFile() = default;
    ~CardFile();
    CardFile(const CardFile &) = delete;
    CardFile &operator=(const CardFile &) = delete;

    int fd() const { return mFd; }
    const struct stat &opened() const { return mStat; }
    void reset(int fd, const struct stat &st);

private:
    int mFd = -1;
    struct stat mStat {};
};

enum class CardOpen { Ok, Missing, NotRegular, Failed };

class CardSource {
public:
    // Remembers which DCIM folder is the card's; false with the reason when there is none.
    bool attach(const std::string &root, std::string *why);
    // Opens DIR/FILE for reading (no link followed on the way); the reason in *why otherwise.
    CardOpen open(const std::string &rel, CardFile *out, std::string *why) const;
    // True while root/DCIM is still the folder attach() saw: false once the card was removed
    // or another one put in its place.
    bool present() const;
    const std::string &root() const { return mRoot; }

private:
    int openDcim() const;  // a descriptor of root/DCIM, or -1

    std::string mRoot;
    dev_t mDev = 0;
    ino_t mIno = 0;
};

#endif
