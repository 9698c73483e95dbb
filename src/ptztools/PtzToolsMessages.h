#pragma once
// Messages of the PTZ tools that the string table does not hold: the failures the
// operator is told about beyond the table's own texts.
#include <string>
#include <string_view>

namespace imgdl {

inline constexpr std::string_view kPtzNegativeNumberText =
    "This protocol has a negative number and cannot be used here. Nothing was changed.";
inline constexpr std::string_view kPtzOutOfMemoryText =
    "There is not enough memory to add the protocol. Nothing was changed.";
// Asked with Yes and No, No the default, when Escape or the close box would throw away
// unsaved work.
inline constexpr std::string_view kPtzUnsavedChangesText =
    "The PTZ DB or the PTZ image has changes that are not saved. Close without saving them?";
// Asked by "Close" with Save, Discard and Cancel, Cancel the default, while the database
// has unsaved changes ("Close" hands on the image file, not the image on screen).
inline constexpr std::string_view kPtzSaveDatabaseText =
    "The PTZ DB has changes that are not saved. Save them before closing?";

// "Can't load the PTZ DB file.\n<path>" and the like; `what` names the kind of file.
inline std::string PtzLoadFailedText(std::string_view what, std::string_view path) {
    return "Can't load the " + std::string(what) + " file.\n" + std::string(path);
}
inline std::string PtzSaveFailedText(std::string_view what, std::string_view path) {
    return "Can't save the " + std::string(what) + " file.\n" + std::string(path);
}

inline constexpr std::string_view kPtzDatabaseKind = "PTZ DB";
inline constexpr std::string_view kPtzImageKind = "PTZ image";

}  // namespace imgdl
