#pragma once
// Every message box and file dialog of the program goes through this interface, so
// that the dialogs and flows can be driven by tests (which answer and record) and by
// the command-line front end (which prints) exactly as by the operator.
#include <optional>
#include <string>
#include <string_view>

namespace imgdl {

enum class MessageButtons { Ok, YesNo, SaveDiscardCancel };
// Default: the exclamation icon, as every box whose caller names no icon gets.
enum class MessageIcon { Default, Information, Question, Error };
enum class MessageAnswer { Ok, Yes, No, Save, Discard, Cancel };

struct FileDialogRequest {
    bool save = false;
    std::string title;             // empty: the system's own title
    std::string defaultExtension;  // without the dot, "*" for none
    std::string initialName;       // file name or path the dialog starts with
    // Filter in the classic "Label|pattern|Label|pattern|" form; a label without a
    // pattern of its own matches every file.
    std::string filter;
    bool promptOverwrite = false;
};

class MessageService {
  public:
    virtual ~MessageService() = default;
    // Shows a box with the program's name as caption; returns the button pressed.
    // `details`, when given, is there for whoever asks for more (the box's details),
    // without changing what the box says.
    virtual MessageAnswer showMessage(std::string_view text,
                                      MessageButtons buttons = MessageButtons::Ok,
                                      MessageIcon icon = MessageIcon::Default,
                                      std::string_view details = {}) = 0;
    // Shows an open- or save-file dialog; the full path chosen, or nothing on cancel.
    virtual std::optional<std::string> chooseFile(const FileDialogRequest& request) = 0;
};

}  // namespace imgdl
