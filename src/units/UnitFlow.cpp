#include "units/UnitFlow.h"

#include <array>
#include <thread>
#include <vector>

#include "flows/RecorderLock.h"
#include "image/IdentityPatch.h"
#include "image/ImageLayout.h"
#include "ledger/MacRange.h"
#include "res/StringTable.h"
#include "session/ConnectRetry.h"
#include "session/DownloadProtocol.h"
#include "session/SessionPayloads.h"

namespace imgdl::units {
namespace {

using ledger::Allocation;
using ledger::Ledger;

// The identity's bytes as they stand in an integrated image, and what keeps the shared
// image alive while a worker may still read it.
struct PatchedImage {
    std::shared_ptr<const ImageSnapshot> image;
    std::vector<std::uint8_t> head;  // the image's leading section, identity patched in
};

SessionPayload IntegratedPayload(const std::shared_ptr<const ImageSnapshot>& image,
                                 const MacAddress& mac, std::uint32_t serial) {
    auto patched = std::make_shared<PatchedImage>();
    patched->image = image;
    patched->head.assign(image->bytes.begin(), image->bytes.begin() + kMinIntegratedSize);
    PatchMacAddress(patched->head, mac);
    PatchSerialNumber(patched->head, serial);
    SessionPayload payload;
    payload.bytes = image->bytes;
    payload.patchOffset = kMacAddressOffset;
    payload.patch = std::span<const std::uint8_t>(patched->head)
                        .subspan(kMacAddressOffset, kMinIntegratedSize - kMacAddressOffset);
    payload.owner = patched;
    return payload;
}

template <std::size_t N>
SessionPayload SmallPayload(const std::array<std::uint8_t, N>& bytes) {
    const auto owned = std::make_shared<const std::array<std::uint8_t, N>>(bytes);
    return {*owned, owned, {}, 0};
}

std::string ErrorText(int error) {
    return std::string(LoadString(ErrorMessageId(error).value_or(0)));
}

class UnitRun {
  public:
    UnitRun(Ledger& ledger, const UnitPlan& plan, const RecorderAddress& target,
            UnitObserver& observer, const UnitOrigin& origin)
        : ledger_(ledger), plan_(plan), target_(target), observer_(observer), origin_(origin) {}

    UnitOutcome run() {
        // One flow per recorder: units of this process take turns, other processes refuse.
        auto lock = RecorderLock::AcquireAfterSiblings(target_);
        if (const auto* refusal = std::get_if<RecorderLock::Refusal>(&lock)) {
            out_.message = RefusalMessage(target_, *refusal);
            return out_;
        }
        if (!openRow()) return out_;
        switch (plan_.recipe) {
            case Recipe::Integrated:
                if (versionChecked())
                    session(CMD_INTEGRATED_IMAGE,
                            IntegratedPayload(plan_.image, mac(), out_.unit->serial), true);
                break;
            case Recipe::Identity:
                identity();
                break;
            case Recipe::App:
                if (versionChecked()) session(CMD_APPLICATION_IMAGE, imagePayload(), true);
                break;
            case Recipe::AppThenIdentity:
                if (versionChecked() && session(CMD_APPLICATION_IMAGE, imagePayload(), false) &&
                    restarted())
                    identity();
                break;
        }
        return out_;
    }

  private:
    // The unit's row: its numbers from the ledger, or a row without any.
    bool openRow() {
        const ledger::AllocationRequest request{target_.text(),
                                                std::string(RecipeName(plan_.recipe)),
                                                plan_.image ? plan_.image->sha256 : "",
                                                plan_.image ? plan_.image->versionText : "",
                                                plan_.station,
                                                origin_.port,
                                                origin_.found};
        const bool numbered = RecipeGivesNumbers(plan_.recipe);
        const auto opened =
            numbered ? ledger_.allocate(request) : ledger_.recordUnnumbered(request);
        if (!opened.ok()) {
            out_.message = opened.error().message;
            return false;
        }
        out_.unit = opened.value();
        out_.state = UnitState::Allocated;
        if (numbered) observer_.allocated(*out_.unit);
        return true;
    }

    MacAddress mac() const { return ParseMacAddress(ledger::FormatMac48(out_.unit->mac)); }

    SessionPayload imagePayload() const {
        SessionPayload payload;
        payload.bytes = plan_.image->bytes;
        payload.owner = plan_.image;
        return payload;
    }

    bool versionChecked() {
        return session(CMD_FIRMWARE_VERSION,
                       SmallPayload(EncodeVersionPayload(plan_.image->version)), false);
    }

    void identity() {
        session(CMD_MAC_AND_SERIAL,
                SmallPayload(EncodeMacAndSerialPayload(mac(), out_.unit->serial)), true);
    }

    // The unit restarts after writing its image: its identity waits for it to be back.
    bool restarted() {
        observer_.restarting(plan_.restartWait);
        const auto cancel = observer_.sessionCancel();
        const bool waited = cancel ? cancel->sleepFor(plan_.restartWait)
                                   : (std::this_thread::sleep_for(plan_.restartWait), true);
        if (waited) return true;
        out_.message = "cancelled while the unit restarted";
        endFailed();
        return false;
    }

    // One session; true when it ended well. The row follows its end; `last` is the unit's
    // last session, whose payload is the one the row answers for.
    bool session(std::uint32_t command, SessionPayload payload, bool last) {
        DownloadJob job;
        job.command = command;
        job.target = target_;
        job.payload = std::move(payload);
        job.timeouts = plan_.timeouts;
        job.window = observer_.sessionSink(command);
        job.cancel = observer_.sessionCancel();
        if (last) job.beforePayload = [this](std::string& why) { return mark(why); };
        // A session the observer can cancel from outside never needs leaving behind.
        const auto threading =
            job.cancel ? SessionThreading::CallersThread : SessionThreading::OwnThread;
        const SessionOutcome outcome = RunWithConnectRetries(
            job, plan_.retries,
            [this](std::chrono::milliseconds wait) { observer_.retrying(target_, wait); },
            threading);
        if (outcome.error == 0) {
            if (last) finishDone();
            return true;
        }
        out_.cause = outcome.cause;
        out_.message = ErrorText(outcome.error);
        if (outcome.cause.step == SessionStep::BeforePayload) out_.message = outcome.cause.text;
        endFailed();
        return false;
    }

    // The explicit step before the payload: the row becomes uncertain, or nothing is sent.
    // A row without numbers has nothing to hold: only the start of its payload is noted.
    bool mark(std::string& why) {
        if (!out_.unit->numbered) {
            marked_ = true;
            return true;
        }
        const auto e = ledger_.markUncertain(out_.unit->id, "payload started");
        if (!e.failed()) {
            marked_ = true;
            out_.state = UnitState::Uncertain;
            return true;
        }
        why = "ledger: " + e.message;
        return false;
    }

    void finishDone() {
        const auto e = ledger_.finish(out_.unit->id, ledger::Outcome::Done, "");
        if (e.failed()) {
            // The recorder has its identity; the row stays uncertain, never released.
            out_.ledgerError = e.message;
            out_.message =
                out_.unit->numbered
                    ? "the unit received its identity, but the ledger could not record it"
                    : "the unit received its image, but the ledger could not record it";
            return;
        }
        out_.state = UnitState::Done;
    }

    void endFailed() {
        const std::string& text = out_.message;
        const std::string& cause = out_.cause.text;
        if (marked_ && !out_.unit->numbered) {
            // Part of an image may be in the unit; there are no numbers to hold.
            if (const auto e = ledger_.finish(out_.unit->id, ledger::Outcome::Failed, text, cause);
                e.failed())
                out_.ledgerError = e.message;
            else
                out_.state = UnitState::Failed;
            return;
        }
        if (marked_) {
            // Already uncertain; the cause goes into the row.
            if (const auto e = ledger_.markUncertain(out_.unit->id, text, cause); e.failed())
                out_.ledgerError = e.message;
            return;
        }
        if (const auto e = ledger_.release(out_.unit->id, text, cause); e.failed()) {
            out_.ledgerError = e.message;
            return;  // left allocated: never handed out again until settled
        }
        out_.state = UnitState::Released;
    }

    Ledger& ledger_;
    const UnitPlan& plan_;
    const RecorderAddress& target_;
    UnitObserver& observer_;
    const UnitOrigin& origin_;
    UnitOutcome out_;
    bool marked_ = false;
};

}  // namespace

namespace {
constexpr std::pair<Recipe, std::string_view> kRecipes[] = {
    {Recipe::App, "app"},
    {Recipe::Integrated, "integrated"},
    {Recipe::Identity, "identity"},
    {Recipe::AppThenIdentity, "app+identity"},
};
}  // namespace

std::string_view RecipeName(Recipe recipe) {
    for (const auto& [r, name] : kRecipes)
        if (r == recipe) return name;
    return {};
}

std::optional<Recipe> ParseRecipe(std::string_view name) {
    for (const auto& [r, text] : kRecipes)
        if (text == name) return r;
    return std::nullopt;
}

bool RecipeSendsImage(Recipe recipe) {
    return recipe != Recipe::Identity;
}

ImageLayout RecipeImageLayout(Recipe recipe) {
    return recipe == Recipe::Integrated ? ImageLayout::Integrated : ImageLayout::Application;
}

bool RecipeGivesNumbers(Recipe recipe) {
    return recipe != Recipe::App;
}

std::string_view UnitStateName(UnitState state) {
    switch (state) {
        case UnitState::NotAllocated:
            return "not allocated";
        case UnitState::Done:
            return "done";
        case UnitState::Released:
            return "released";
        case UnitState::Uncertain:
            return "uncertain";
        case UnitState::Failed:
            return "failed";
        case UnitState::Allocated:
            return "allocated";
    }
    return {};
}

UnitOutcome ProvisionUnit(Ledger& ledger, const UnitPlan& plan, const RecorderAddress& target,
                          UnitObserver& observer, const UnitOrigin& origin) {
    return UnitRun(ledger, plan, target, observer, origin).run();
}

}  // namespace imgdl::units
