#include "ptztools/PtzCreatorProcessState.h"

namespace imgdl {

PtzCreatorProcessState& ThePtzCreatorProcessState() {
    static PtzCreatorProcessState state;
    return state;
}

}  // namespace imgdl
