#pragma once

// Modal dialogs, behind an interface so that the workflow and the script evaluator can run with the
// window's dialogs, the console's, or a test's. Plain C++: no toolkit types cross it.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class MessageIcon {
    None,
    Information,
    Warning, // the exclamation mark
    Error,
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box with a single OK button; returns when it is closed. Without a title of its
    // own (nullopt) it shows the application's name; an empty title stays empty.
    virtual void messageBox(std::u16string_view text, std::optional<std::u16string_view> title, MessageIcon icon) = 0;
    // The same box with a second button, labelled `choice`, beside OK: true when the operator pressed it,
    // false for OK, for closing the box otherwise, and where no one can be asked.
    virtual bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, MessageIcon icon,
                           std::u16string_view choice) = 0;
    // A modal input box; the text entered, or the empty text when it is cancelled.
    virtual std::u16string inputBox(std::u16string_view prompt, std::u16string_view title,
                                    std::u16string_view defaultText) = 0;
};

} // namespace platform
