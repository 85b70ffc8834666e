// Recording that a file is offloaded: the write goes through the candidate list, and because the
// list's write reports success even when the database answered that it could not keep it, the
// state is then read back from the database; only a state read back counts as recorded.
#ifndef ZT_TOOLS_OFFLOAD_RECORD_STATE_H
#define ZT_TOOLS_OFFLOAD_RECORD_STATE_H

#include <string>

#include "cah/CAHMediaList.h"

// The upload state of a file whose copy is whole and durable on DEST. States 0 and 3 are the
// ones that await upload (the boot-time check and the default rules select them); 2 leaves the
// file out of both.
constexpr UploadState kOffloadedState = 2;

// NotTracked: the database answers but keeps no state for the file (a photo group's further
// files live under the group's first file).
enum class Recorded { Yes, NotTracked, Refused, Unreachable };

// Writes kOffloadedState for "DIR/FILE" and reads it back, retrying for up to `waitSec` seconds
// while the database cannot be reached (a restart). The reason in *why when not Yes.
Recorded recordOffloaded(CAHMediaList &list, const std::string &rel, unsigned waitSec, std::string *why);

// True while the database answers busy: it is still reading its card, and until it is done its
// answers describe an empty card.
bool databaseIndexing();

#endif
