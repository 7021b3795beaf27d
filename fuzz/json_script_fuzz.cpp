// Evaluates arbitrary bytes (read as UTF-8) as a script, with dialogs that answer every input box with
// its default text. Checks that evaluation ends with a text or with the variable read limit, that a
// script refused by the parser gives the empty text after one error box, and that the nesting count is
// back at zero afterwards: a 40-deep value still evaluates to its text.

#include "platform/dialogs.h"
#include "script/json_script.h"
#include "json/json.h"
#include "json/utf8.h"

#include <cstdlib>

namespace {

class AnsweringDialogs final : public platform::Dialogs {
public:
    void messageBox(std::u16string_view text, std::optional<std::u16string_view> title,
                    platform::MessageIcon icon) override
    {
        ++boxes;
        lastBox = text;
        lastTitle = title.value_or(u"(none)");
        lastIcon = icon;
    }
    bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon icon,
                   std::u16string_view) override
    {
        messageBox(text, title, icon);
        return false;
    }
    std::u16string inputBox(std::u16string_view, std::u16string_view, std::u16string_view defaultText) override
    {
        return std::u16string(defaultText);
    }

    int boxes = 0;
    std::u16string lastBox;
    std::u16string lastTitle;
    platform::MessageIcon lastIcon = platform::MessageIcon::None;
};

const json::JsonValue& deepProbe()
{
    static const json::JsonValue probe = [] {
        json::JsonValue value = json::JsonValue::makeString(u"x");
        for (int i = 0; i < 40; ++i) {
            json::JsonValue outer = json::JsonValue::makeArray();
            outer.append(std::move(value));
            value = std::move(outer);
        }
        return value;
    }();
    return probe;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string text = json::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    AnsweringDialogs dialogs;
    // A small read limit keeps doubling variables cheap while still reaching the limit's path.
    script::cJSONScript script(dialogs, std::size_t{1} << 10);
    try {
        const std::u16string output = script.Eval(text);
        json::ParseJson(text);
        if (!json::LastParseErrors().empty() &&
            (!output.empty() || dialogs.boxes != 1 || dialogs.lastTitle != u"Parser Error" ||
             dialogs.lastIcon != platform::MessageIcon::Warning || dialogs.lastBox != json::LastParseErrors())) {
            std::abort();
        }
    } catch (const script::ReadLimitError&) {
    }
    if (script.ExecCommand(deepProbe()) != u"x") {
        std::abort();
    }
    return 0;
}
