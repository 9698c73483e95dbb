#include "ConsoleMessages.h"

namespace imgdl::cli {

MessageAnswer ConsoleMessages::showMessage(std::string_view text, MessageButtons buttons,
                                           MessageIcon) {
    ++shown_;
    std::fprintf(out_, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(out_);
    // A question nobody can answer is declined.
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : MessageAnswer::No;
}

}  // namespace imgdl::cli
