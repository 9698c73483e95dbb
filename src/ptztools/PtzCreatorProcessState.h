#pragma once
// The only values of the PTZ image creator that outlive one opening. They hold from
// program start to exit and are never written to disk. This is the program's one
// piece of mutable process-wide state; nothing else may keep any.
#include <string>

namespace imgdl {

struct PtzCreatorProcessState {
    // The database file last loaded or saved; reloaded at every opening.
    std::string lastDatabasePath;
    // The state of "Select to download image by the lastest saved file" at the last
    // "Close"; set at program start.
    bool downloadLatest = true;
};

// The one instance. Tests reset it with `ThePtzCreatorProcessState() = {};`.
PtzCreatorProcessState& ThePtzCreatorProcessState();

}  // namespace imgdl
