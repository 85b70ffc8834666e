// Replies of the per-file commands for the client's tests against the scripted peer, and the small
// card that their server tests load. Plain values and inline builders; use from one thread (the
// builders are also safe inside a peer handler).
#ifndef ZT_TEST_DB_REPLY_FRAMES_H
#define ZT_TEST_DB_REPLY_FRAMES_H

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "ztMedia/dbProtocol.h"
#include "libztMediaRTOSDB/client/dbTransport.h"
#include "support/db_list_frames.h"
#include "support/scripted_peer.h"

// The header answering `r`: its command and token, the given status and count, version 1.
inline db_response_header answerHeader(const PeerRequest &r, uint32_t status = 0, uint32_t count = 1)
{
    return {r.word(0), status, count, 1, r.word(2)};
}

// Header and content record (ListFrame::content: 100ZTCAM, upload word 0x50003), then `extra`.
inline Frame contentAnswer(const PeerRequest &r, uint32_t type, uint32_t flags = 0,
                           const Frame &extra = {}, uint32_t status = 0)
{
    Frame f = frameOf(answerHeader(r, status));
    appendRecord(f, ListFrame::content(type, "ZX010001.MP4", flags));
    f.insert(f.end(), extra.begin(), extra.end());
    return f;
}

// `f` cut to (or zero-extended to) `bytes`.
inline Frame sized(Frame f, size_t bytes)
{
    f.resize(bytes, 0);
    return f;
}

// Answers every request that finds the script empty with build(request).
template <class Build>
void answerAll(ScriptedPeer &peer, Build build)
{
    peer.setHandler([build](const PeerRequest &r) { return PeerAction::reply(build(r)); });
}

// Checks that `r` asks `command` about 100ZTCAM/ZX010001.MP4 alone.
inline void expectFileRequest(const PeerRequest &r, uint32_t command)
{
    ASSERT_EQ(sizeof(db_file_request), r.bytes.size());
    EXPECT_EQ(command, r.word(0));
    EXPECT_EQ(1u, r.word(1));
    EXPECT_EQ(0, std::memcmp(r.bytes.data() + 12, "100ZTCAMZX010001.MP4", 20));
}

// A connection of the response family, opened for the span of a test.
struct OpenConnection {
    rtosConnection_t conn{};
    uint8_t response[DB_FRAME_MAX];
    OpenConnection() { EXPECT_EQ(0, rtosConnectionCtor(&conn)); }
    ~OpenConnection()
    {
        if (conn.fd > 0) rtosConnectionDtor(&conn);  // a failed write may have closed it
    }
};

// A file specification from two names (not terminated when they fill their fields).
inline db_file_name_pair fileSpec(const char *dir, const char *file)
{
    db_file_name_pair fs{};
    std::memcpy(fs.dir_name, dir, std::min<size_t>(std::strlen(dir), DB_DIR_NAME_LEN));
    std::memcpy(fs.file_name, file, std::min<size_t>(std::strlen(file), DB_FILE_NAME_LEN));
    return fs;
}

// A scripted peer with the client's pauses recorded, and the file that the per-file tests ask for.
class DbPeerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.ok()) << peer.error(); }
    ScriptedPeer peer;
    PauseRecorder pauses;
    db_file_name_pair fs = fileSpec("100ZTCAM", "ZX010001.MP4");
};

// The small card of the server tests: a video with highlights (upload word 0x50003), a derived
// video with a parent GUMI, a time-lapse with a missing and a highlighted member, a chaptered video
// with one further chapter, a looping video with highlights and a missing member, and a directory
// listing of `listed` names for the scan.
constexpr const char *kCardVideoGumi = "00112233445566778899AABBCCDDEEFF";
constexpr const char *kCardChildGumi = "F0E1D2C3B4A5968778695A4B3C2D1E0F";

inline std::string smallCardJson(int listed = 60)
{
    std::string json = R"({"card_id": "ZT-TEST-0001", "version": 3, "session_id": 2, "media": [
  {"dir": "100ZTCAM", "file": "ZX010001.MP4", "type": 0, "cre": 1000, "mod": 1010, "size": 5000000,
   "upload_status": 327683, "highlight_count": 2, "mahs": 3, "rot": 1, "fov": 2, "lc": 3, "prjn": 4,
   "gumi": "00112233445566778899AABBCCDDEEFF",
   "video": {"ls": 1, "duration_ms": 42000, "profile": 4, "avc_profile": 100, "cl": 1,
             "highlights": [4200, 17350]},
   "more": {"width": 3840, "height": 2160, "fps_num": 30000, "fps_den": 1001, "progressive": 1,
            "subsampled": 0}},
  {"dir": "100ZTCAM", "file": "ZX010002.MP4", "type": 12, "flags": 1, "size": 700, "mod": 1020,
   "gumi": "F0E1D2C3B4A5968778695A4B3C2D1E0F", "pgumi": "00112233445566778899AABBCCDDEEFF",
   "video": {"duration_ms": 9000}},
  {"dir": "100ZTCAM", "file": "ZSAB0001.JPG", "type": 6, "highlight_count": 1, "size": 2600,
   "mod": 1030, "group": {"group_number": 1002, "first": 1, "last": 20, "missing": [4],
                          "highlighted": [2], "group_size": 52000}},
  {"dir": "101ZTCAM", "file": "ZX010123.MP4", "type": 2, "size": 900, "mod": 1040,
   "video": {"duration_ms": 480000},
   "members": [{"file": "ZX020123.MP4", "size": 800, "mod": 1050, "video": {"duration_ms": 120500}}],
   "group": {"group_number": 123, "first": 0, "last": 1}},
  {"dir": "103ZTCAM", "file": "ZXAA0001.MP4", "type": 1, "highlight_count": 2,
   "video": {"duration_ms": 1000, "highlights": [10, 20]},
   "members": [{"file": "ZXAA0002.MP4", "video": {"duration_ms": 1000}}],
   "group": {"group_number": 1001, "first": 1, "last": 3, "missing": [3]}}
], "dirs": {"102ZTCAM": [)";
    for (int i = 0; i < listed; ++i) {
        char row[80];
        std::snprintf(row, sizeof row, R"(%s{"file": "ZCAM%04d.JPG", "a": %d, "b": %d})",
                      i ? ", " : "", i, 100 + i, 5000 + i);
        json += row;
    }
    return json + "]}}";
}

// One row of a failure table: the peer's reply and the call's result.
struct ReplyCase {
    const char *name;
    Frame (*reply)(const PeerRequest &);
    int result;
};

#endif
