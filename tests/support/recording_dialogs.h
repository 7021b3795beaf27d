#pragma once

// A Dialogs implementation for tests: records every dialog in order and answers input boxes and choices
// from queues (an empty queue answers as a cancelled box does: the empty text, OK).

#include "platform/dialogs.h"

#include <deque>
#include <vector>

namespace testing_support {

struct RecordedDialog {
    enum class Kind { Message, Input, Choice };
    Kind kind;
    std::u16string text; // message or prompt
    std::optional<std::u16string> title;
    platform::MessageIcon icon = platform::MessageIcon::None;
    std::u16string defaultText;
    std::u16string choice{};
};

class RecordingDialogs final : public platform::Dialogs {
public:
    void messageBox(std::u16string_view text, std::optional<std::u16string_view> title,
                    platform::MessageIcon icon) override
    {
        shown.push_back({RecordedDialog::Kind::Message,
                         std::u16string(text),
                         title ? std::optional<std::u16string>(*title) : std::nullopt,
                         icon,
                         {}});
    }
    bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon icon,
                   std::u16string_view choice) override
    {
        shown.push_back({RecordedDialog::Kind::Choice,
                         std::u16string(text),
                         title ? std::optional<std::u16string>(*title) : std::nullopt,
                         icon,
                         {},
                         std::u16string(choice)});
        if (choices.empty()) {
            return false;
        }
        const bool chosen = choices.front();
        choices.pop_front();
        return chosen;
    }
    std::u16string inputBox(std::u16string_view prompt, std::u16string_view title,
                            std::u16string_view defaultText) override
    {
        shown.push_back({RecordedDialog::Kind::Input, std::u16string(prompt), std::u16string(title),
                         platform::MessageIcon::None, std::u16string(defaultText)});
        if (answers.empty()) {
            return {};
        }
        std::u16string answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<RecordedDialog> shown;
    std::deque<std::u16string> answers;
    std::deque<bool> choices;
};

} // namespace testing_support
