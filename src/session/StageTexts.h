#pragma once
// What the operator is told at each stage of a session, as the progress window shows
// it; the command-line front end shows the same texts.
#include <optional>
#include <string_view>

#include "session/DownloadProtocol.h"

namespace imgdl {

struct StageTexts {
    std::string_view top;
    std::string_view middle;
    std::string_view bottom;
};

// The texts of STAGE_SENDING and STAGE_WRITING; nothing for any other stage. The top
// text stays as it was while sending.
constexpr std::optional<StageTexts> StageTextsOf(int stage) {
    if (stage == STAGE_SENDING)
        return StageTexts{{}, "Downloading...", "Don't disconnect a network for downloading."};
    if (stage == STAGE_WRITING)
        return StageTexts{"Download finished. !!!", "Now, Writing a image.",
                          "Please wait until download is complete."};
    return std::nullopt;
}

}  // namespace imgdl
