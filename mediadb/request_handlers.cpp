#include "mediadb/request_handlers.h"

#include <algorithm>
#include <iterator>

namespace {

struct Request {
    const uint8_t *bytes;
    size_t length;
    db_request_header header;
};

using Frames = std::vector<Frame>;
// A command's handler. Readers see the card through a read view; the writer goes to the catalog.
using Handler = void (*)(MediaCatalog &, const Request &, Frames &);
using Reader = void (*)(const CatalogView &, const Request &, Frames &);

template <Reader Read>
void underView(MediaCatalog &catalog, const Request &r, Frames &out)
{
    Read(catalog.view(), r, out);
}

// The reply header; count and status are patched in once the payload is known.
FrameWriter replyTo(const Request &r, uint32_t version, uint32_t status, uint32_t count)
{
    FrameWriter w;
    w.put(db_response_header{r.header.command_type, status, count, version, r.header.token});
    return w;
}

void setCount(Frame &f, uint32_t count)
{
    std::memcpy(f.data() + offsetof(db_response_header, count_returned), &count, sizeof count);
}

std::string nameOf(const char *field, size_t width) { return std::string(field, strnlen(field, width)); }

bool findFile(const CatalogView &view, const char *dir, const char *file, FileRef *ref)
{
    return view.find(nameOf(dir, DB_DIR_NAME_LEN), nameOf(file, DB_FILE_NAME_LEN), ref);
}

void histogram(const CatalogView &view, const Request &r, Frames &out)
{
    const MediaCard &card = view.card();
    FrameWriter w = replyTo(r, card.version, DB_STATUS_OK, 1);
    uint32_t buckets[DB_HISTOGRAM_BUCKETS];
    view.histogram(buckets);
    w.putBytes(buckets, sizeof buckets);
    out.push_back(w.frame());
}

void list(const CatalogView &view, const Request &r, Frames &out)
{
    const MediaCard &card = view.card();
    db_list_params_request req{};
    std::memcpy(&req, r.bytes, std::min(r.length, sizeof req));
    ListQuery q{req.list.list_options, req.list.query_options, 0, 0};
    if (r.header.command_type == DB_CMD_LIST_WITH_PARAMS) {
        q.timeFrom = req.param1;
        q.timeTo = req.param2;
    }
    CatalogView::Rows cached = view.listRows(q);
    const std::vector<FileRef> &rows = *cached;
    FrameWriter w;
    db_list_response_header h{{r.header.command_type, DB_STATUS_OK, 0, card.version, r.header.token},
                              req.list.starting_index,
                              q.listOptions,
                              q.queryOptions,
                              static_cast<uint32_t>(rows.size()),
                              card.sessionId};
    w.put(h);
    uint32_t count = 0;
    // A page never overflows the frame: fewer entries than asked rather than a cut entry.
    for (size_t i = req.list.starting_index; i < rows.size() && count < r.header.request_count; i++, count++)
        if (!putListEntry(w, card.media[rows[i].entry], rows[i].member, q.listOptions))
            break;
    setCount(w.frame(), count);
    out.push_back(w.frame());
}

void notFound(const Request &r, const MediaCard &card, const db_file_request &req, Frames &out)
{
    FrameWriter w = replyTo(r, card.version, DB_STATUS_NOT_FOUND, 0);
    w.put(contentNotFound(req.dir_name, req.file_name));
    out.push_back(w.frame());
}

// Commands 2, 3, 7 and 8 share their request and differ in what follows the header.
template <uint32_t Command>
void fileInfo(const CatalogView &view, const Request &r, Frames &out)
{
    const MediaCard &card = view.card();
    db_file_request req;
    std::memcpy(&req, r.bytes, sizeof req);
    FileRef ref;
    if (!findFile(view, req.dir_name, req.file_name, &ref)) {
        if (Command == DB_CMD_GET_MORE_INFO)
            out.push_back(replyTo(r, card.version, DB_STATUS_NOT_FOUND, 0).frame());
        else
            notFound(r, card, req, out);
        return;
    }
    const MediaEntry &e = card.media[ref.entry];
    FrameWriter w = replyTo(r, card.version, DB_STATUS_OK, 1);
    if (Command == DB_CMD_GET_MORE_INFO) {
        w.put(e.more);
    } else {
        w.put(contentInfoOf(e, ref.member));
        if (Command == DB_CMD_GET_GROUP_CONTENT_INFO && !putGroupBlock(w, e, SecondBitmap::WheneverHighlighted))
            w.put(db_group_info{});
        if (Command == DB_CMD_GET_GUMI_BY_FILE_NAME) {
            static const uint8_t kZeros[DB_GUMI_LEN] = {};
            w.putBytes(e.gumi, DB_GUMI_LEN);
            w.putBytes(hasParentGumi(e) ? e.pgumi : kZeros, DB_GUMI_LEN);
        }
    }
    out.push_back(w.frame());
}

// One content record and video record per file found, in request order; a single file that is
// unknown gets the not-found record.
void videoInfo(const CatalogView &view, const Request &r, Frames &out)
{
    const MediaCard &card = view.card();
    size_t pairs =
        std::min<size_t>(r.header.request_count, (r.length - sizeof(db_request_header)) / sizeof(db_file_name_pair));
    FrameWriter w = replyTo(r, card.version, DB_STATUS_OK, 0);
    uint32_t count = 0;
    for (size_t i = 0; i < std::max<size_t>(pairs, 1); i++) {
        db_file_name_pair p;
        std::memcpy(&p, r.bytes + sizeof(db_request_header) + i * sizeof p, sizeof p);
        FileRef ref;
        if (!findFile(view, p.dir_name, p.file_name, &ref))
            continue;
        const MediaEntry &e = card.media[ref.entry];
        size_t mark = w.size();
        if (!w.put(contentInfoOf(e, ref.member)) || !putVideoBlock(w, e, ref.member)) {
            w.truncate(mark);
            break;
        }
        count++;
    }
    if (count == 0 && pairs <= 1) {
        db_file_request req;
        std::memcpy(&req, r.bytes, sizeof req);
        notFound(r, card, req, out);
        return;
    }
    setCount(w.frame(), count);
    out.push_back(w.frame());
}

void nameByGumi(const CatalogView &view, const Request &r, Frames &out)
{
    const MediaCard &card = view.card();
    db_gumi_request req;
    std::memcpy(&req, r.bytes, sizeof req);
    FileRef ref;
    if (!view.findGumi(req.gumi, &ref)) {
        out.push_back(replyTo(r, card.version, DB_STATUS_NOT_FOUND, 0).frame());
        return;
    }
    db_content_info c = contentInfoOf(card.media[ref.entry], -1);
    FrameWriter w = replyTo(r, card.version, DB_STATUS_OK, 1);
    w.put(db_file_name_pair{});
    std::memcpy(w.frame().data() + DB_REPLY_RECORD_AT, c.dir_name, DB_DIR_NAME_LEN + DB_FILE_NAME_LEN);
    out.push_back(w.frame());
}

void scandir(const CatalogView &view, const Request &r, Frames &out)
{
    const MediaCard &card = view.card();
    db_scandir_request req;
    std::memcpy(&req, r.bytes, sizeof req);
    std::vector<DirListing> files;
    bool known = cardDirListing(card, nameOf(req.dir_name, DB_DIR_NAME_LEN), &files);
    const size_t firstRoom = (DB_FRAME_MAX - sizeof(db_scandir_response_header)) / sizeof(db_scandir_wire_entry);
    const size_t nextRoom = DB_FRAME_MAX / sizeof(db_scandir_wire_entry);
    size_t rest = files.size() > firstRoom ? files.size() - firstRoom : 0;
    uint32_t transfers = static_cast<uint32_t>(1 + (rest + nextRoom - 1) / nextRoom);
    FrameWriter w;
    w.put(db_scandir_response_header{DB_CMD_NON_DB_SCANDIR, known ? DB_STATUS_OK : DB_STATUS_NOT_FOUND, transfers,
                                     static_cast<uint32_t>(files.size()), r.header.token});
    for (const DirListing &d : files) {
        db_scandir_wire_entry e{};
        std::memcpy(e.file_name, d.file.data(), std::min<size_t>(d.file.size(), DB_FILE_NAME_LEN));
        e.first_value = d.first;
        e.second_value = d.second;
        if (!w.put(e)) {
            out.push_back(w.frame());
            w = FrameWriter();
            w.put(e);
        }
    }
    out.push_back(w.frame());
}

// The one writer: the catalog stores the word under its own lock, committed before the reply.
void writeStatus(MediaCatalog &catalog, const Request &r, Frames &out)
{
    db_status_write_request w;
    std::memcpy(&w, r.bytes, sizeof w);
    const uint32_t result = catalog.writeStatus(nameOf(w.dir_name, DB_DIR_NAME_LEN),
                                                nameOf(w.file_name, DB_FILE_NAME_LEN), w.upload_status);
    out.push_back(replyTo(r, catalog.version(), result, result == DB_STATUS_OK ? 1 : 0).frame());
}

struct Command {
    uint32_t code;
    Handler handler;
};

// A handler per row of the protocol's command table.
const Command kCommands[] = {
    {DB_CMD_LIST, underView<list>},
    {DB_CMD_GET_CONTENT_INFO, underView<fileInfo<DB_CMD_GET_CONTENT_INFO>>},
    {DB_CMD_GET_GROUP_CONTENT_INFO, underView<fileInfo<DB_CMD_GET_GROUP_CONTENT_INFO>>},
    {DB_CMD_GET_VIDEO_SPECIFIC_INFO, underView<videoInfo>},
    {DB_CMD_GET_FILE_NAME_BY_GUMI, underView<nameByGumi>},
    {DB_CMD_GET_GUMI_BY_FILE_NAME, underView<fileInfo<DB_CMD_GET_GUMI_BY_FILE_NAME>>},
    {DB_CMD_GET_MORE_INFO, underView<fileInfo<DB_CMD_GET_MORE_INFO>>},
    {DB_CMD_WRITE_UPLOAD_STATUS, writeStatus},
    {DB_CMD_GET_UPLOAD_STATUS_HISTOGRAM, underView<histogram>},
    {DB_CMD_LIST_WITH_PARAMS, underView<list>},
    {DB_CMD_NON_DB_SCANDIR, underView<scandir>},
};
static_assert(std::size(kCommands) == DB_COMMAND_COUNT, "a handler for every command");

// The handler of a request of `length` bytes, or null when its command is unknown or the
// request is shorter than the command's.
const Command *commandFor(const uint8_t *request, size_t length)
{
    if (length < sizeof(db_request_header))
        return nullptr;
    uint32_t code;
    std::memcpy(&code, request, sizeof code);
    const DbCommandInfo *info = dbCommandInfo(code);
    if (!info || length < info->requestBytes)
        return nullptr;
    for (const Command &c : kCommands)
        if (c.code == code)
            return &c;
    return nullptr;
}

// A reply of its header alone, echoing what the request's bytes hold of command and token.
Frame statusOnly(const uint8_t *bytes, size_t length, uint32_t version, uint32_t status)
{
    db_response_header h{UINT32_MAX, status, 0, version, 0};
    std::memcpy(&h.command_type, bytes, std::min<size_t>(length, sizeof h.command_type));
    if (length >= sizeof(db_request_header))
        std::memcpy(&h.token, bytes + offsetof(db_request_header, token), sizeof h.token);
    FrameWriter w;
    w.put(h);
    return w.frame();
}

}  // namespace

std::vector<Frame> handleRequest(MediaCatalog &catalog, const uint8_t *request, size_t length)
{
    Frames out;
    const Command *cmd = commandFor(request, length);
    if (!cmd || catalog.indexing()) {
        // Until the first index is in there is nothing true to answer: busy, which clients retry.
        out.push_back(statusOnly(request, length, catalog.version(), cmd ? DB_STATUS_BUSY : DB_STATUS_BAD_REQUEST));
        return out;
    }
    Request r{request, length, {}};
    std::memcpy(&r.header, request, sizeof r.header);
    cmd->handler(catalog, r, out);
    return out;
}
