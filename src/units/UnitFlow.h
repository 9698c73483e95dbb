#pragma once
// One unit of a production line, from its numbers to its recorded end: the ledger hands
// out a MAC address and serial number, the sessions send them, and the unit's row ends as
// what the recorder may have received. The row is marked uncertain as an explicit step
// just before the payload's first byte (a process killed during the payload leaves it
// so); a unit is done only once its row says done. No Qt: imgdl provision and the
// station run the same flow.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/RecorderAddress.h"
#include "ledger/Ledger.h"
#include "session/DownloadJob.h"
#include "session/SessionCause.h"
#include "units/ImageSnapshot.h"

namespace imgdl::units {

enum class Recipe {
    App,              // an application image; the unit gets no numbers
    Integrated,       // the identity patched into the image as it goes out
    Identity,         // the MAC address and serial number alone
    AppThenIdentity,  // an application image, then, once the unit is back, its identity
};
// "app", "integrated", "identity", "app+identity"
std::string_view RecipeName(Recipe recipe);
std::optional<Recipe> ParseRecipe(std::string_view name);
inline constexpr const char* kRecipeNames = "app|integrated|identity|app+identity";
// Whether the recipe sends an image, and which layout that image has.
bool RecipeSendsImage(Recipe recipe);
ImageLayout RecipeImageLayout(Recipe recipe);
// Whether the unit gets a MAC address and serial number from the ledger.
bool RecipeGivesNumbers(Recipe recipe);

struct UnitPlan {
    Recipe recipe = Recipe::Identity;
    std::shared_ptr<const ImageSnapshot> image;  // the recipes that send an image
    std::string station;                         // recorded in every row
    int retries = 0;                             // further connects after a refused one
    SessionTimeouts timeouts;
    // An image then identity: the unit's restart after its image, before the identity.
    std::chrono::milliseconds restartWait{0};
};

// What a front end is told while a unit runs; called on the unit's thread.
class UnitObserver {
  public:
    virtual ~UnitObserver() = default;
    // The unit's numbers, as soon as the ledger has handed them out.
    virtual void allocated(const ledger::Allocation&) {}
    // The unit restarts after its image; its identity follows after `wait`.
    virtual void restarting(std::chrono::milliseconds /*wait*/) {}
    // A connect failed; the session starts again after `wait`.
    virtual void retrying(const RecorderAddress&, std::chrono::milliseconds /*wait*/) {}
    // Where the session of `command` reports its stages and progress; may be null.
    virtual std::shared_ptr<DownloadSink> sessionSink(std::uint32_t /*command*/) { return {}; }
    // What ends the unit's sessions from outside (a person's cancel); may be empty.
    virtual std::shared_ptr<SessionCancel> sessionCancel() { return {}; }
};

// What the unit's row says at the end.
enum class UnitState {
    NotAllocated,  // no row was made
    Done,          // the recorder confirmed the write and the row says so
    Released,      // nothing of the identity left; the numbers go back to the pool
    Uncertain,     // the payload may have reached the recorder; the numbers stay held
    Failed,        // a unit without numbers whose image broke off
    Allocated,     // a ledger write failed before anything was sent: held until settled
};
std::string_view UnitStateName(UnitState state);

struct UnitOutcome {
    UnitState state = UnitState::NotAllocated;
    std::optional<ledger::Allocation> unit;
    std::string message;      // what failed, as the operator is told (empty when done)
    SessionCause cause;       // why the session failed (step None when no session failed)
    std::string ledgerError;  // a ledger write that failed (empty when none did)

    bool done() const { return state == UnitState::Done && ledgerError.empty(); }
};

// Where a station found the unit, kept in its row.
struct UnitOrigin {
    std::string port;   // the station's port name
    std::string found;  // UTC text of the moment the unit answered the probe
};

UnitOutcome ProvisionUnit(ledger::Ledger& ledger, const UnitPlan& plan,
                          const RecorderAddress& target, UnitObserver& observer,
                          const UnitOrigin& origin = {});

}  // namespace imgdl::units
