// The responders' answers, byte for byte, from a real ztMediaDBd serving manifests made for each
// case (or a scripted peer for what no manifest holds): media list, identifier lookup, paged list
// and metadata, their error statuses, retries after status faults and the buffer overflows.
// Every body must also parse as JSON.
#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ztMedia/ztMediaResponders.h"
#include "support/db_list_frames.h"
#include "support/klog_capture.h"
#include "support/scoped_env.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/stdout_capture.h"

namespace {

// A card with two directories, the first reappearing, a directory of hidden types only, every
// content class and identifiers on the video.
const char *const kCard = R"({"card_id":"CARD-A","media":[
 {"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"cre":100,"mod":101,"size":5000,"flags":3147,
  "upload_status":65538,"mahs":130,"highlight_count":2,
  "gumi":"000102030405060708090a0b0c0d0e0f","pgumi":"ffeeddccbbaa99887766554433221100",
  "video":{"ls":0,"duration_ms":1499,"profile":4,"avc_profile":100,"cl":1,"highlights":[1000,2000,3000]},
  "more":{"width":1920,"height":1080,"fps_num":60,"fps_den":1,"progressive":1,"subsampled":0}},
 {"dir":"100ZTCAM","file":"ZCAM0002.JPG","type":4,"cre":200,"mod":201,"size":300,"flags":4864,
  "more":{"width":4000,"height":3000}},
 {"dir":"102ZTCAM","file":"ZSES0003.MP4","type":7,"cre":300,"mod":301,"size":10},
 {"dir":"101ZTCAM","file":"Z0070001.JPG","type":5,"cre":400,"mod":401,"highlight_count":2,
  "group":{"group_number":7,"first":1,"last":10,"missing":[3,4,10],"highlighted":[2,9],"group_size":999}},
 {"dir":"101ZTCAM","file":"ZX010009.MP4","type":12,"cre":500,"mod":501,"size":20,"video":{"ls":3}},
 {"dir":"100ZTCAM","file":"ZCAM0010.JPG","type":9,"cre":600,"mod":601,"size":50}]})";

// A photo as both lists write it with every member: the paged list, and the media list asked for
// all fields.
std::string photo(const std::string &name, int mod, int flags, int size, int us = 0)
{
    char text[256];
    std::snprintf(
        text, sizeof text,
        R"({"n":"%s","mod":"%d","cre":"%d","us":"%d","tr":"0","hc":"0","hdr":"%d","wdr":"%d","raw":"%d","s":"%d"})",
        name.c_str(), mod, mod ? mod - 1 : 0, us, flags, flags, flags, size);
    return text;
}
const std::string kPhoto2 = photo("ZCAM0002.JPG", 201, 1, 300), kPhoto10 = photo("ZCAM0010.JPG", 601, 0, 50);

const std::string kVideoLegacy = R"({"n":"ZX010001.MP4","mod":"101","ls":"-1","s":"5000"})";
const std::string kDefaultList =
    R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[)" + kVideoLegacy +
    R"(,{"n":"ZCAM0002.JPG","mod":"201","s":"300"}]},{"d":"101ZTCAM","fs":[{"n":"Z0070001.JPG","mod":"401","g":"7","b":"1","l":"10","t":"b","m":["3","4","10"],"ghc":{"2":"1","9":"1"},"s":"999"}]},{"d":"100ZTCAM","fs":[{"n":"ZCAM0010.JPG","mod":"601","s":"50"}]}]})"
    "\r\n";
const std::string kAllFieldsList =
    R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[{"n":"ZX010001.MP4","mod":"101","cre":"100","us":"2","tr":"1","ls":"-1","cl":"1","pta":"1","ao":"wind","mp":"1","dur":"1","mahs":"2","hc":"2","hi":[1000,2000],"s":"5000"},)" +
    kPhoto2 +
    R"(]},{"d":"102ZTCAM","fs":[{"n":"ZSES0003.MP4","mod":"301","cre":"300","us":"0","tr":"0","hc":"0","s":"10"}]},{"d":"101ZTCAM","fs":[{"n":"Z0070001.JPG","mod":"401","cre":"400","us":"0","tr":"0","g":"7","b":"1","l":"10","t":"b","m":["3","4","10"],"ghc":{"2":"1","9":"1"},"s":"999"}]},{"d":"100ZTCAM","fs":[)" +
    kPhoto10 +
    R"(]}]})"
    "\r\n";
const std::string kPagedVideo =
    R"({"n":"ZX010001.MP4","mod":"101","cre":"100","us":"2","tr":"1","ls":"-1","pta":"1","ao":"wind","mp":"1","dur":"1","mahs":"2","hc":"2","hi":[1000,2000],"s":"5000"})";

std::string ok(const std::string &body)
{
    return "HTTP/1.1 200 \r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}
std::string failed(int status, const std::string &body)
{
    return "HTTP/1.1 " + std::to_string(status) +
           " \r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
std::string errorHeader(int status) { return failed(status, ""); }
std::string json(const std::string &body) { return body + "\r\n"; }
const std::string kEmptyA = "{\"id\":\"CARD-A\",\"media\":[]}\r\n";

enum class Call { List, Metadata, Paged };
struct Row {
    Call call;
    std::string query;
    std::string expected;
    int result;
};

using Json = std::unique_ptr<cJSON, void (*)(cJSON *)>;
// The body of a response parsed whole (null when it is not JSON), or null for no body.
Json bodyOf(const std::string &response)
{
    const size_t at = response.find("\r\n\r\n");
    const std::string body = at == std::string::npos ? "" : response.substr(at + 4);
    return Json(body.empty() ? nullptr : cJSON_ParseWithOpts(body.c_str(), nullptr, true), cJSON_Delete);
}
bool hasBody(const std::string &response) { return response.size() > response.find("\r\n\r\n") + 4; }
// A string member of a parsed object ("" when missing).
std::string text(const cJSON *object, const char *key)
{
    const cJSON *v = cJSON_GetObjectItemCaseSensitive(object, key);
    return cJSON_IsString(v) ? v->valuestring : "";
}

int run(Call call, const std::string &q)
{
    switch (call) {
    case Call::List: return generateMediaList(nullptr, q.c_str());
    case Call::Metadata: return generateMetadata(nullptr, q.c_str());
    case Call::Paged: break;
    }
    return generatePagedList(nullptr, q.c_str());
}

void expectRows(const std::vector<Row> &rows)
{
    for (const Row &r : rows) {
        int result = 1;
        const std::string got = captureStdout([&] { result = run(r.call, r.query); });
        EXPECT_EQ(got, r.expected) << r.query;
        EXPECT_EQ(result, r.result) << r.query;
        EXPECT_TRUE(!hasBody(got) || bodyOf(got)) << "not JSON: " << got;
    }
}

class MediaResponders : public ::testing::Test {
protected:
    ScopedEnv noCardEnv{"ZT_CARD_ID", nullptr};
    KlogCapture klog{1};
};

TEST_F(MediaResponders, ListsLookupsAndPages)
{
    ServerProcess server(kCard);
    ASSERT_TRUE(server.ok()) << server.error();
    const char *allFields = "f=none&fields=legacy,cre,us,tr,cl,pta,ao,mp,dur,mahs,hc,hi,hdr,wdr,raw";
    expectRows({
        {Call::List, "", ok(kDefaultList), 0},
        {Call::List, allFields, ok(kAllFieldsList), 0},
        // type 12 is listed among videos but never shown: its directory leaves no trace
        {Call::List, "f=video&fields=n",
         ok(json(R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[{"n":"ZX010001.MP4"}]}]})")), 0},
        {Call::List, "f=video&fields=n,bogus,ls",
         ok(json(
             R"({"id":"CARD-A","unsupported_fields":"bogus","media":[{"d":"100ZTCAM","fs":[{"n":"ZX010001.MP4","ls":"-1"}]}]})")),
         0},
        {Call::List, "f=gumi&folder=100ZTCAM&files=ZX010001.MP4,,ZZZZ0001.JPGXX",
         ok(json(
             R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[{"n":"ZX010001.MP4","gumi":"000102030405060708090a0b0c0d0e0f","pgumi":"ffeeddccbbaa99887766554433221100"},{"n":"ZZZZ0001.JPG","DNE":"1"}]}]})")),
         0},
        {Call::List, "f=gumi&folder=100%5ATCAM&files=A", failed(400, kEmptyA), -1},
        {Call::List, "f=gumi&files=A&folder=100ZTCAM", failed(400, kEmptyA), -1},
        {Call::List, "folder=100ZTCAM&f=gumi&files=A", "", -1},
        {Call::List, "f=gumi&folder=100ZTCAM&files=a\"b", failed(400, kEmptyA), -1},
        {Call::Paged, "max=1&count=2&start=0&lo=0&qo=0xf00",
         ok(json(R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[)" + kPagedVideo + "," + kPhoto2 + "]}]}")), 0},
        {Call::Paged, "max=10&count=10&start=0&lo=0&qo=0x100",
         ok(json(R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[)" + kPagedVideo +
                 R"(]},{"d":"101ZTCAM","fs":[]}]})")),
         0},
        {Call::Paged, "max=5&count=10&start=0&lo=0&qo=0x200&p1=150&p2=250",
         ok(json(R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[)" + kPhoto2 + "]}]}")), 0},
        {Call::Paged, "max=5&count=1&start=2&lo=0&qo=0x200",
         ok(json(R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[)" + kPhoto10 + "]}]}")), 0},
        {Call::Paged, "max=0&count=10&start=0&lo=0&qo=0x200", ok(kEmptyA), 0},
        // p2 without p1 asks for a plain list (p1=0&p2=1 would select nothing)
        {Call::Paged, "max=1&count=1&start=2&lo=0&qo=0x200&p2=1",
         ok(json(R"({"id":"CARD-A","media":[{"d":"100ZTCAM","fs":[)" + kPhoto10 + "]}]}")), 0},
        {Call::Paged, "max=1&count=ten&start=0&lo=0&qo=0x200", errorHeader(400), -1},
        {Call::List, "f=clips&f=video", errorHeader(400), -1},
        {Call::List, "f=Video", errorHeader(501), -1},
        {Call::List, "fields=" + std::string(60, 'x') + "," + std::string(60, 'y'), errorHeader(500), -1},
    });
}

TEST_F(MediaResponders, MetadataDataSetsAndWrites)
{
    ServerProcess server(kCard);
    ASSERT_TRUE(server.ok()) << server.error();
    const std::string v = "&p=100ZTCAM/ZX010001.MP4";
    expectRows(
        {
            {Call::Metadata, "t=dur" + v, ok(json(R"({"dur":"1","c":"1","profile":"4"})")), 0},
            {Call::Metadata, "t=videoinfo" + v,
             ok(json(
                 R"({"dur":"1","c":"1","avc_profile":"100","profile":"4","tag_count":3,"tags":[1000,2000,3000],"w":"1920","h":"1080","fps":"60","fps_denom":"1","prog":"1","subsample":"0"})")),
             0},
            {Call::Metadata, "t=v5info" + v,
             ok(json(
                 R"({"cre":"100","s":"5000","mahs":"2","us":"2","mos":["app"],"eis":"1","pta":"1","ao":"wind","tr":"1","mp":"1","ct":"0","rot":"0","fov":"0","lc":"0","prjn":"0","gumi":"000102030405060708090a0b0c0d0e0f","pgumi":"ffeeddccbbaa99887766554433221100","ls":"-1","cl":"1","avc_profile":"100","profile":"4","hc":"3","hi":[1000,2000,3000],"dur":"1","w":"1920","h":"1080","fps":"60","fps_denom":"1","prog":"1","subsample":"0"})")),
             0},
            {Call::Metadata, "t=v4info" + v,
             ok(json(
                 R"({"cre":"100","s":"5000","us":"2","mos":["app"],"eis":"1","pta":"1","ao":"wind","tr":"1","mp":"1","gumi":"000102030405060708090a0b0c0d0e0f","pgumi":"ffeeddccbbaa99887766554433221100","ls":"-1","cl":"1","hc":"3","hi":[1000,2000,3000],"dur":"1","w":"1920","h":"1080","fps":"60","fps_denom":"1","prog":"1","subsample":"0"})")),
             0},
            {Call::Metadata, "t=v5info&p=100ZTCAM/ZCAM0002.JPG",
             ok(json(
                 R"({"cre":"200","s":"300","hc":"0","us":"0","mos":[],"eis":"0","hdr":"1","wdr":"1","raw":"1","tr":"0","mp":"0","ct":"4","rot":"0","fov":"0","lc":"0","prjn":"0","gumi":"00000000000000000000000000000000","w":"4000","h":"3000"})")),
             0},
            {Call::Metadata, "t=v4info&p=100ZTCAM/ZCAM0002.JPG",
             ok(json(
                 R"({"cre":"200","s":"300","hc":"0","us":"0","mos":[],"eis":"0","wdr":"1","raw":"1","tr":"0","gumi":"00000000000000000000000000000000","w":"4000","h":"3000"})")),
             0},
            {Call::Metadata, "t=videoinfo&p=100ZTCAM/ZCAM0002.JPG", errorHeader(501), -1},
            // a burst's video record: a video to v5info, not to v4info
            {Call::Metadata, "t=v5info&p=101ZTCAM/ZX010009.MP4", ok(json(R"({"cre":"500","s":"20","mahs":"0","us":"0","mos":[],"eis":"0","pta":"0","ao":"off","tr":"0","mp":"0","ct":"12","rot":"0","fov":"0","lc":"0","prjn":"0","gumi":"00000000000000000000000000000000","ls":"3","cl":"0","avc_profile":"0","profile":"0","hc":"0","hi":[],"dur":"0","w":"0","h":"0","fps":"0","fps_denom":"0","prog":"0","subsample":"0"})")),
             0},
            {Call::Metadata, "t=v4info&p=101ZTCAM/ZX010009.MP4",
             ok(json(
                 R"({"cre":"500","s":"20","hc":"0","us":"0","mos":[],"eis":"0","wdr":"0","raw":"0","tr":"0","gumi":"00000000000000000000000000000000","w":"0","h":"0"})")),
             0},
            // a session file carries no extra-information record: no w, h
            {Call::Metadata, "t=v5info&p=102ZTCAM/ZSES0003.MP4",
             ok(json(
                 R"({"cre":"300","s":"10","hc":"0","us":"0","mos":[],"eis":"0","hdr":"0","wdr":"0","raw":"0","tr":"0","mp":"0","ct":"7","rot":"0","fov":"0","lc":"0","prjn":"0","gumi":"00000000000000000000000000000000"})")),
             0},
            {Call::Metadata, "t=dur&p=100ZTCAM/ZZZZ0001.MP4", errorHeader(404), -1},
            {Call::Metadata, "t=dur&p=100ZTCAM/ZX010001.mp4", errorHeader(404), -1},
            {Call::Metadata, "t=dur&p=100ZTCAM1/ZX010001.MP4", errorHeader(400), -1},
            // rejected requests write nothing
            {Call::Metadata, "t=upload" + v + "&status=7&status=7", errorHeader(400), -1},
            {Call::Metadata, "t=dur" + v + "/x", ok(json(R"({"dur":"1","c":"1","profile":"4"})")),
             0},  // third part unread
            {Call::Metadata, "t=offload" + v + "&status=other&value=%ff", errorHeader(400), -1},
            {Call::Metadata, "t=upload" + v, ok(json(R"({"us":"2"})")), 0},
            {Call::Metadata, "t=upload" + v + "&status=5", ok(json(R"({"us":"5"})")), 0},
            {Call::Metadata, "t=offload" + v, ok(json(R"({"mos":["app"]})")), 0},
            {Call::Metadata, "t=offload" + v + "&status=pc&value=true", ok(json(R"({"mos":["app","pc"]})")), 0},
            {Call::Metadata, "t=offload" + v + "&status=app&value=false", ok(json(R"({"mos":["pc"]})")), 0},
            {Call::Metadata, "t=upload" + v, ok(json(R"({"us":"5"})")), 0},
            {Call::Metadata, "t=upload" + v + "&status=32", errorHeader(400), -1},
            {Call::Metadata, "t=offload" + v + "&status=pc&value=maybe", errorHeader(400), -1},
        });
}

// A chaptered video of three existing chapters (member 2 missing).
const char *const kChapteredCard = R"({"card_id":"CARD-G","media":[
 {"dir":"100ZTCAM","file":"ZX010123.MP4","type":2,"cre":10,"mod":11,"size":100,"upload_status":1,"flags":2,
  "highlight_count":1,"video":{"ls":0,"duration_ms":2500,"highlights":[7]},
  "members":[{"file":"ZX020123.MP4","size":200,"cre":20,"mod":21,"video":{"ls":4,"duration_ms":4000}},
             {"file":"ZX040123.MP4","size":300,"cre":30,"mod":31,"upload_status":3,"video":{"duration_ms":1000}}],
  "group":{"group_number":123,"first":0,"last":3,"missing":[2],"group_size":999}}]})";

// Without grouping every chapter is a single video; with it the paged list expands the group
// from one multi-file video request.
TEST_F(MediaResponders, ChapteredVideos)
{
    ServerProcess server(kChapteredCard);
    ASSERT_TRUE(server.ok()) << server.error();
    expectRows({
        {Call::List, "f=video&fields=n,ls,dur,s",
         ok(json(
             R"({"id":"CARD-G","media":[{"d":"100ZTCAM","fs":[{"n":"ZX010123.MP4","ls":"-1","dur":"3","s":"100"},{"n":"ZX020123.MP4","ls":"4","dur":"4","s":"200"},{"n":"ZX040123.MP4","ls":"-1","dur":"1","s":"300"}]}]})")),
         0},
        {Call::Paged, "max=1&count=10&start=0&lo=2&qo=0x100",
         ok(json(
             R"({"id":"CARD-G","media":[{"d":"100ZTCAM","fs":[)"
             R"({"n":"ZX010123.MP4","mod":"11","cre":"10","us":"1","tr":"0","eis":"1","pta":"0","ao":"off","mp":"0","dur":"3","mahs":"0","hc":"1","hi":[7],"ls":"-1","s":"100"},)"
             R"({"n":"ZX020123.MP4","mod":"21","cre":"20","us":"1","tr":"0","ls":"4","eis":"1","pta":"0","ao":"off","mp":"0","dur":"4","mahs":"0","hc":"1","hi":[],"s":"200"},)"
             R"({"n":"ZX040123.MP4","mod":"31","cre":"30","us":"3","tr":"0","ls":"-1","eis":"1","pta":"0","ao":"off","mp":"0","dur":"1","mahs":"0","hc":"1","hi":[],"s":"300"}]}]})")),
         0},
    });
}

// Names no camera writes but a database may hold: echoed escaped, so each parses back to itself.
TEST_F(MediaResponders, HostileNamesAreEscaped)
{
    ServerProcess server(R"({"card_id":"C\"\\D","media":[
     {"dir":"x\",\"d\":\"","file":"ZCAM0001.JPG","type":4},
     {"dir":"100ZTCAM","file":"Z\"\\X0001.MP4","type":0,"video":{"duration_ms":2000}}]})");
    ASSERT_TRUE(server.ok()) << server.error();
    const std::string dir = R"({"d":"x\",\"d\":\"","fs":[)", video = R"("n":"Z\"\\X0001.MP4")";
    expectRows({
        {Call::List, "f=none&fields=n",
         ok(json(R"({"id":"C\"\\D","media":[)" + dir + R"({"n":"ZCAM0001.JPG"}]},{"d":"100ZTCAM","fs":[{)" + video +
                 "}]}]}")),
         0},
        {Call::Paged, "max=1&count=10&start=0&lo=0&qo=0xf00",
         ok(json(
             R"({"id":"C\"\\D","media":[)" + dir + photo("ZCAM0001.JPG", 0, 0, 0) + R"(]},{"d":"100ZTCAM","fs":[{)" +
             video +
             R"(,"mod":"0","cre":"0","us":"0","tr":"0","ls":"-1","pta":"0","ao":"off","mp":"0","dur":"2","mahs":"0","hc":"0","hi":[],"s":"0"}]}]})")),
         0},
        {Call::Metadata, "t=dur&p=100ZTCAM/Z%22%5CX0001.MP4", ok(json(R"({"dur":"2","c":"0","profile":"0"})")), 0},
    });
    const Json body = bodyOf(captureStdout([] { generateMediaList(nullptr, ""); }));
    ASSERT_TRUE(body);
    EXPECT_EQ(text(body.get(), "id"), "C\"\\D");
    const cJSON *media = cJSON_GetObjectItemCaseSensitive(body.get(), "media");
    EXPECT_EQ(text(cJSON_GetArrayItem(media, 0), "d"), "x\",\"d\":\"");
    const cJSON *files = cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(media, 1), "fs");
    EXPECT_EQ(text(cJSON_GetArrayItem(files, 0), "n"), "Z\"\\X0001.MP4");
}

// The first entry a list request asks for.
uint32_t startOf(const PeerRequest &r)
{
    uint32_t start = 0;
    if (r.bytes.size() >= 16)
        std::memcpy(&start, r.bytes.data() + 12, 4);
    return start;
}

// Answers list requests with the pages they ask for out of `entries`.
void servePages(ScriptedPeer &peer, const std::vector<db_content_info> &entries)
{
    peer.setHandler([entries](const PeerRequest &r) {
        ListFrame f(0, r.word(2));
        for (uint32_t i = startOf(r); i < entries.size() && i < startOf(r) + r.word(1); ++i, ++f.entries)
            f.put(entries[i]);
        return PeerAction::reply(f.done(static_cast<uint32_t>(entries.size())));
    });
}

// A list entry of a file the database does not know (content type all ones) is skipped by both
// lists; control bytes and bytes outside UTF-8 in a name, which no manifest holds, are escaped.
TEST_F(MediaResponders, UnknownFilesAndControlBytesInScriptedLists)
{
    ScopedEnv cardId("ZT_CARD_ID", "CARD-P");
    const std::vector<db_content_info> entries = {ListFrame::content(4, "ZP010001.JPG"),
                                                  ListFrame::content(~0u, "ZP010009.JPG"),
                                                  ListFrame::content(4, "ZP\x01\xff"
                                                                        "0002.JPG")};
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    servePages(peer, entries);
    expectRows({
        {Call::List, "fields=n",
         ok(json(
             R"({"id":"CARD-P","media":[{"d":"100ZTCAM","fs":[{"n":"ZP010001.JPG"},{"n":"ZP\u0001\u00ff0002.JPG"}]}]})")),
         0},
        {Call::Paged, "max=5&count=10&start=0&lo=0&qo=0",
         ok(json(R"({"id":"CARD-P","media":[{"d":"100ZTCAM","fs":[)" + photo("ZP010001.JPG", 0, 0, 1000, 3) + "," +
                 photo(R"(ZP\u0001\u00ff0002.JPG)", 0, 0, 1000, 3) + "]}]}")),
         0},
    });
}

// Status faults count on the listing's one retry counter; the card identifier comes last.
TEST_F(MediaResponders, FaultsAndCardIdentifier)
{
    ServerProcess server(kCard);
    ASSERT_TRUE(server.ok()) << server.error();
    ASSERT_EQ(server.ctl({"status", "1", "3"}), 0);
    expectRows({{Call::List, "", ok(kDefaultList), 0}});
    ASSERT_EQ(server.ctl({"status", "1", "12"}), 0);
    expectRows({{Call::List, "", failed(500, kEmptyA), -1}});
    // Pages cut to their header bring no entry: bounded by the same counter.
    ASSERT_EQ(server.ctl({"cut", "40", "3"}), 0);
    expectRows({{Call::List, "", ok(kDefaultList), 0}});
    ASSERT_EQ(server.ctl({"cut", "40", "12"}), 0);
    expectRows({{Call::List, "", failed(500, kEmptyA), -1}});
    ASSERT_EQ(server.ctl({"clear"}), 0);
    ASSERT_EQ(server.ctl({"status", "2", "1"}), 0);
    expectRows({{Call::Metadata, "t=dur&p=100ZTCAM/ZX010001.MP4", errorHeader(503), -1}});
    // A lookup answered with status 5 ends the file loop: each request takes one faulted reply.
    ASSERT_EQ(server.ctl({"status", "5", "2"}), 0);
    const std::string lookup = "f=gumi&folder=100ZTCAM&files=ZX010001.MP4,ZCAM0002.JPG";
    expectRows({{Call::List, lookup, failed(500, kEmptyA), -1}, {Call::List, lookup, failed(500, kEmptyA), -1}});
    ASSERT_EQ(std::remove(server.path("card_id").c_str()), 0);
    expectRows({
        {Call::List, "", failed(404, json(R"({"id":"0","media":[]})")), -1},
        {Call::Metadata, "t=dur&p=100ZTCAM/ZX010001.MP4", errorHeader(404), -1},
        {Call::Paged, "max=1&count=1&start=0&lo=0&qo=0x200",
         ok(json(R"({"id":"0","media":[{"d":"100ZTCAM","fs":[)" + kPhoto2 + "]}]}")), 0},
    });
}

// A card of `dirs` directories of `photos` photos each.
std::string photoCard(int dirs, int photos)
{
    std::string j = R"({"card_id":"CARD-B","media":[)";
    for (int d = 0; d < dirs; ++d)
        for (int p = 0; p < photos; ++p) {
            char row[160];
            std::snprintf(row, sizeof row,
                          R"(%s{"dir":"%dZTCAM","file":"ZCAM%04d.JPG","type":4,"mod":1000000000,"size":1000000000})",
                          d + p ? "," : "", 100 + d, p + 1);
            j += row;
        }
    return j + "]}";
}

TEST_F(MediaResponders, OverflowOfEachBufferAnswers500)
{
    std::string highlights;
    for (int i = 0; i < 256; ++i)
        highlights += (i ? "," : "") + std::to_string(9000000 + i);
    const std::string entryCard =
        R"({"card_id":"CARD-B","media":[{"dir":"100ZTCAM","file":"ZX010001.MP4","type":0,"highlight_count":256,"video":{"highlights":[)" +
        highlights + "]}}]}";
    const std::string empty = json(R"({"id":"CARD-B","media":[]})");
    std::string tags;
    for (int i = 0; i < 99; ++i)
        tags += (i ? "," : "") + std::to_string(9000000 + i);
    struct Case {
        std::string card;
        std::vector<Row> rows;
    } cases[] = {
        {entryCard,  // one entry over 1536 bytes; the metadata shows 99 of the 256 highlights
         {{Call::List, "f=video&fields=hi", failed(500, empty), -1},
          {Call::Metadata, "t=videoinfo&p=100ZTCAM/ZX010001.MP4",
           ok(json(R"({"dur":"0","c":"0","avc_profile":"0","profile":"0","tag_count":256,"tags":[)" + tags +
                   R"(],"w":"0","h":"0","fps":"0","fps_denom":"0","prog":"0","subsample":"0"})")),
           0}}},
        {photoCard(1, 1300), {{Call::List, "", failed(500, empty), -1}}},  // one directory over 65536
        {photoCard(3, 900), {{Call::List, "", failed(500, empty), -1}}},   // the media array over 131072
    };
    for (const Case &c : cases) {
        ServerProcess server(c.card);
        ASSERT_TRUE(server.ok()) << server.error();
        expectRows(c.rows);
    }
    ServerProcess fits(photoCard(3, 700));
    ASSERT_TRUE(fits.ok()) << fits.error();
    int result = -1;
    const std::string got = captureStdout([&] { result = generateMediaList(nullptr, ""); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(got.compare(0, 13, "HTTP/1.1 200 "), 0);
}

// 23 entries are fetched by requests at 0, 10 and 20, the last asking for the 4 that remain
// (one more than the entries left, as the paging rule says).
TEST_F(MediaResponders, ListRequestsFollowTheTotal)
{
    ScopedEnv cardId("ZT_CARD_ID", "CARD-P");
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok()) << peer.error();
    servePages(peer, std::vector<db_content_info>(23, ListFrame::content(4, "ZP010001.JPG")));
    int result = -1;
    captureStdout([&] { result = generateMediaList(nullptr, ""); });
    EXPECT_EQ(result, 0);
    std::vector<std::pair<uint32_t, uint32_t>> asked;
    for (const PeerRequest &r : peer.requests())
        asked.push_back({startOf(r), r.word(1)});
    EXPECT_EQ(asked, (std::vector<std::pair<uint32_t, uint32_t>>{{0, 10}, {10, 10}, {20, 4}}));
}

}  // namespace
