// Manifest loader: a JSON description of a card's exact records (format in docs/mediadb.md),
// validated field by field into a MediaCard. Errors are one line naming the entry and field.
// Returns values the caller owns; no shared state, safe from any thread.
#ifndef ZT_MEDIADB_MANIFEST_H
#define ZT_MEDIADB_MANIFEST_H

#include <cstddef>
#include <string>

#include "mediadb/media_card.h"

enum : uint32_t {
    MANIFEST_MAX_GROUP_SPAN = 4096,  // members per group: keeps one entry's bitmaps inside a frame
    MANIFEST_MAX_HIGHLIGHTS = 256,   // highlights per video record, for the same reason
    MANIFEST_MAX_CARD_ID = 31,
};
// Largest manifest file read; a larger one is refused without being read whole.
constexpr uint64_t MANIFEST_MAX_BYTES = 256ull << 20;

// Whether each entry keeps its JSON text (MediaEntry::source), which only a state store needs;
// writing it costs about a third of a load.
enum class EntrySource { Keep, Drop };
// Parses manifest text into *card (replaced). The error names the entry and the field.
Status parseManifest(const std::string &text, MediaCard *card, EntrySource source = EntrySource::Keep);
// Reads and parses a manifest file; errors start with "manifest PATH: ".
Status loadManifestFile(const std::string &path, MediaCard *card, EntrySource source = EntrySource::Keep);
// `text` in double quotes for an error message: control characters as \xNN and at most 40
// characters, so an error stays one short line whatever the input held.
std::string quoted(const std::string &text);
// A card identifier: one line of 1 to MANIFEST_MAX_CARD_ID characters.
bool checkCardId(const std::string &id);
// Refuses a card that lists one file twice (as entries or members); the error names both entries.
Status checkUniqueFiles(const MediaCard &card);
// Parses one media entry given as JSON text (how the state store keeps entries); `index` is its
// list position, used in error messages.
Status parseMediaEntryJson(const std::string &json, size_t index, MediaEntry *entry);

#endif
