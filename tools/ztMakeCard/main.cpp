// ztMakeCard DIR N: writes a card folder DIR (DIR/DCIM/...) holding N media of every kind the
// camera records, as small real files: single, chaptered, looping and .360 videos (some with
// `moov` at the end, some with highlight tags), session files, photos, bursts with a gap,
// time-lapses, companions (.LRV, .THM) and a few broken files. Prints one line per medium:
// "DIR/FILE kind duration_ms width height" (durations of chaptered videos summed; 0 for what a
// broken file does not say). Deterministic: the same N gives the same card (but the file times).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/ztcamera.h"
#include "tools/ztMakeCard/media_writer.h"
#include "ztMedia/dbNameRules.h"

namespace {

constexpr uint32_t kPerFolder = 200;  // media per camera folder
constexpr int kKinds = 10;

struct Dims {
    uint32_t w, h;
};
const Dims kVideoDims[] = {{1920, 1080}, {3840, 2160}, {1280, 720}, {2704, 1520}};
const Dims kPhotoDims[] = {{64, 48}, {160, 120}, {96, 64}};

class CardWriter {
public:
    explicit CardWriter(std::string root) : mRoot(std::move(root)) {}

    bool folder(uint32_t index)
    {
        char name[16];
        std::snprintf(name, sizeof name, "%03uZTCAM", 100 + index);
        mDir = name;
        return mkdirs(mRoot) && mkdirs(mRoot + "/DCIM") && mkdirs(mRoot + "/DCIM/" + mDir);
    }
    bool write(const std::string &file, const std::string &bytes)
    {
        std::ofstream out(mRoot + "/DCIM/" + mDir + "/" + file, std::ios::binary | std::ios::trunc);
        out << bytes;
        return bool(out);
    }
    void report(const std::string &file, const char *kind, uint32_t ms, uint32_t w, uint32_t h) const
    {
        std::printf("%s/%s %s %u %u %u\n", mDir.c_str(), file.c_str(), kind, ms, w, h);
    }

private:
    static bool mkdirs(const std::string &path) { return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST; }
    std::string mRoot, mDir;
};

std::string named(const char *format, uint32_t a, uint32_t b = 0)
{
    char name[DB_NAME_BUF + 8];
    std::snprintf(name, sizeof name, format, a, b);
    return name;
}

// Medium `i` of the card, the `slot`-th of its folder: its kind cycles through kKinds.
bool writeMedium(CardWriter &card, uint32_t i, uint32_t slot)
{
    const uint32_t number = slot + 1;  // file number, unique within the folder
    const uint32_t ms = 1000 + (i * 7919) % 60000;
    const Dims v = kVideoDims[i % 4], p = kPhotoDims[i % 3];
    VideoSpec clip;
    clip.durationMs = ms;
    clip.width = v.w;
    clip.height = v.h;
    char pair[2];
    dbLetterPairFromGroup(1001 + slot, pair);
    bool ok = true;
    switch (i % kKinds) {
    case 0: {  // a single video with its companions
        const std::string stem = named("ZX01%04u", number);
        ok = card.write(stem + ".MP4", mp4Bytes(clip)) && card.write(stem + ".LRV", mp4Bytes(clip)) &&
             card.write(stem + ".THM", jpegBytes(p.w, p.h));
        card.report(stem + ".MP4", "video", ms, v.w, v.h);
        break;
    }
    case 1: {  // three chapters, named as this camera model numbers them
        const std::string first = named("ZX01%04u.MP4", number);
        const DbMemberPattern pattern = dbMemberPatternFor(DB_CONTENT_TYPE_CHAPTERED_VIDEO, first.c_str());
        const bool newNumbering = dbIsNewNameFormat(ztc_state_get_model_number());
        ok = card.write(first, mp4Bytes(clip));
        for (uint32_t n = 1; n <= 2 && ok; n++) {
            char name[DB_NAME_BUF];
            ok = dbBuildMemberName(pattern, number, n, newNumbering, name) && card.write(name, mp4Bytes(clip));
        }
        card.report(first, "chaptered", 3 * ms, v.w, v.h);
        break;
    }
    case 2:
        ok = card.write(named("ZCAM%04u.JPG", number), jpegBytes(p.w, p.h));
        card.report(named("ZCAM%04u.JPG", number), "photo", 0, p.w, p.h);
        break;
    case 3:  // a burst of members 1, 2 and 4 (3 is missing)
        for (uint32_t m : {1u, 2u, 4u})
            ok = ok && card.write(named("Z%03u%04u.JPG", slot % 1000, m), jpegBytes(p.w, p.h));
        card.report(named("Z%03u%04u.JPG", slot % 1000, 1), "burst", 0, p.w, p.h);
        break;
    case 4:
        for (uint32_t m = 1; m <= 3; m++)
            ok = ok && card.write(std::string("ZS") + pair[0] + pair[1] + named("%04u.JPG", m), jpegBytes(p.w, p.h));
        card.report(std::string("ZS") + pair[0] + pair[1] + "0001.JPG", "lapse", 0, p.w, p.h);
        break;
    case 5:
        for (uint32_t m = 1; m <= 3; m++)
            ok = ok && card.write(std::string("ZX") + pair[0] + pair[1] + named("%04u.MP4", m), mp4Bytes(clip));
        card.report(std::string("ZX") + pair[0] + pair[1] + "0001.MP4", "looping", ms, v.w, v.h);
        break;
    case 6:  // a spherical video, `moov` last and a 64-bit `mdat`
        clip.moovAtEnd = clip.largeMdat = true;
        ok = card.write(named("ZX01%04u.360", number), mp4Bytes(clip));
        card.report(named("ZX01%04u.360", number), "video", ms, v.w, v.h);
        break;
    case 7:  // a video with highlight tags, `moov` last
        clip.moovAtEnd = true;
        clip.highlights = {ms / 4, ms / 2};
        ok = card.write(named("ZH01%04u.MP4", number), mp4Bytes(clip));
        card.report(named("ZH01%04u.MP4", number), "video", ms, v.w, v.h);
        break;
    case 8:
        ok = card.write(named("ZM01%04u.MP4", number), mp4Bytes(clip));
        card.report(named("ZM01%04u.MP4", number), "session", ms, v.w, v.h);
        break;
    default: {  // broken: truncated, zero-filled, or a photo that is not one
        const std::string whole = mp4Bytes(clip);
        const uint32_t form = (i / kKinds) % 3;
        const std::string name = form == 2 ? named("ZCAM%04u.JPG", number) : named("ZB01%04u.MP4", number);
        ok = card.write(name, form == 0   ? whole.substr(0, whole.size() / 2)
                              : form == 1 ? std::string(whole.size(), '\0')
                                          : std::string("not a picture\n"));
        card.report(name, form == 2 ? "photo" : "video", 0, 0, 0);
        break;
    }
    }
    return ok;
}

}  // namespace

int main(int argc, char **argv)
{
    char *end = nullptr;
    const unsigned long count = argc == 3 ? std::strtoul(argv[2], &end, 10) : 0;
    if (argc != 3 || *end != '\0' || count == 0 || count > 900000) {
        std::fprintf(stderr, "usage: ztMakeCard DIR N   (N media, 1 to 900000)\n");
        return 2;
    }
    CardWriter card(argv[1]);
    for (uint32_t i = 0; i < count; i++) {
        if ((i % kPerFolder == 0 && !card.folder(i / kPerFolder)) || !writeMedium(card, i, i % kPerFolder)) {
            std::fprintf(stderr, "ztMakeCard: %s: %s\n", argv[1], std::strerror(errno));
            return 1;
        }
    }
    return 0;
}
