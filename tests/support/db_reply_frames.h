// Replies of the per-file commands for the client's tests against the scripted peer. Plain values
// and inline builders; use from one thread (the builders are also safe inside a peer handler).
#ifndef ZT_TEST_DB_REPLY_FRAMES_H
#define ZT_TEST_DB_REPLY_FRAMES_H

#include <algorithm>
#include <cstring>

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
inline Frame contentAnswer(const PeerRequest &r, uint32_t type, uint32_t flags = 0, const Frame &extra = {},
                           uint32_t status = 0)
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
        if (conn.fd > 0)
            rtosConnectionDtor(&conn);  // a failed write may have closed it
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

// One row of a failure table: the peer's reply and the call's result.
struct ReplyCase {
    const char *name;
    Frame (*reply)(const PeerRequest &);
    int result;
};

#endif
