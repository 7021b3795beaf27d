#include "script/json_script.h"

#include "platform/dialogs.h"
#include "script/text_form.h"
#include "json/json.h"
#include "json/string_builder.h"
#include "json/text_case.h"

#include <optional>

namespace script {

namespace {

constexpr std::u16string_view kNestingExceeded = u"ERROR: Nesting level exceeded.";

// Restores the count on every way out, exceptions from dialogs included; a count left raised would
// make every later evaluation on the object hit the limit early.
class NestingScope final {
public:
    explicit NestingScope(std::int32_t& count) noexcept : m_count(count) { ++m_count; }
    ~NestingScope() { --m_count; }
    NestingScope(const NestingScope&) = delete;
    NestingScope& operator=(const NestingScope&) = delete;

private:
    std::int32_t& m_count;
};

// Collects the outputs of one evaluation. Most evaluations give one piece or none, which is passed on
// as it is; the chunked builder, whose first growth costs a whole chunk, is made for a second piece.
class Output final {
public:
    void append(std::u16string piece)
    {
        if (piece.empty()) {
            return;
        }
        if (!m_builder && m_first.empty()) {
            m_first = std::move(piece);
            return;
        }
        if (!m_builder) {
            m_builder.emplace();
            m_builder->Append(m_first);
        }
        m_builder->Append(piece);
    }
    std::u16string take() { return m_builder ? m_builder->toString() : std::move(m_first); }

private:
    std::u16string m_first;
    std::optional<json::cStringBuilder> m_builder;
};

bool conditionHolds(std::u16string_view type, std::u16string_view first, std::u16string_view second)
{
    if (type == u"eq") {
        return json::toLower(first) == json::toLower(second);
    }
    // std::u16string_view orders by char16_t, which is unsigned: plain code unit order.
    if (type == u"gt") {
        return first > second;
    }
    if (type == u"lt") {
        return first < second;
    }
    if (type == u"gte") {
        return first >= second;
    }
    if (type == u"lte") {
        return first <= second;
    }
    return false;
}

std::u16string placeholder(std::u16string_view name, const json::JsonValue& value)
{
    std::u16string out = u"<%" + json::toUpper(name) + u"(";
    if (value.isString()) {
        out += value.asString();
    } else if (value.isObject()) {
        bool first = true;
        for (const json::JsonMember& member : value.members()) {
            if (!first) {
                out += u',';
            }
            first = false;
            out += textForm(member.value());
        }
    }
    out += u")%>";
    return out;
}

} // namespace

cJSONScript::cJSONScript(platform::Dialogs& dialogs, std::size_t readLimit)
    : m_dialogs(dialogs), m_readLimit(readLimit), m_readAllowance(readLimit)
{
}

std::u16string cJSONScript::Eval(std::u16string_view script)
{
    const std::optional<json::JsonValue> root = json::ParseJson(script);
    const std::u16string errors = json::LastParseErrors();
    if (!root || !errors.empty()) {
        m_dialogs.messageBox(errors, std::u16string_view(u"Parser Error"), platform::MessageIcon::Warning);
        return {};
    }
    startOutermost();
    if (!root->isArray()) {
        return evaluate(*root);
    }
    Output out;
    for (const json::JsonValue& element : root->elements()) {
        // Texts and nulls of the root are taken as they are, without counting as an evaluation.
        out.append(element.isString() || element.isNull() ? textForm(element) : evaluate(element));
    }
    return out.take();
}

std::u16string cJSONScript::ExecCommand(const json::JsonValue& value)
{
    startOutermost();
    return evaluate(value);
}

void cJSONScript::startOutermost() noexcept
{
    // A dialog may call back into the object; only a call from outside starts a fresh allowance.
    if (m_nesting == 0) {
        m_readAllowance = m_readLimit;
    }
}

std::u16string cJSONScript::evaluate(const json::JsonValue& value)
{
    if (m_nesting >= kNestingLimit) {
        return std::u16string(kNestingExceeded);
    }
    const NestingScope scope(m_nesting);
    switch (value.kind()) {
    case json::JsonKind::Array: {
        Output out;
        for (const json::JsonValue& element : value.elements()) {
            out.append(evaluate(element));
        }
        return out.take();
    }
    case json::JsonKind::Object: {
        Output out;
        for (const json::JsonMember& member : value.members()) {
            out.append(evaluateMember(member.name(), member.value()));
        }
        return out.take();
    }
    default:
        return textForm(value);
    }
}

std::u16string cJSONScript::evaluateMember(std::u16string_view name, const json::JsonValue& value)
{
    const std::u16string word = json::toLower(name);
    if (word == u"alert") {
        const std::u16string message = evaluate(value[u"message"]);
        const std::u16string title = evaluate(value[u"title"]);
        m_dialogs.messageBox(message, std::u16string_view(title), platform::MessageIcon::Information);
        return {};
    }
    if (word == u"input") {
        const std::u16string prompt = evaluate(value[u"prompt"]);
        const std::u16string title = evaluate(value[u"title"]);
        const std::u16string defaultText = evaluate(value[u"default"]);
        return m_dialogs.inputBox(prompt, title, defaultText);
    }
    if (word == u"switch") {
        return evaluateSwitch(value);
    }
    if (word == u"set") {
        std::u16string text = evaluate(value[u"value"]);
        m_variables.insert_or_assign(textForm(value[u"name"]), std::move(text));
        return {};
    }
    if (word == u"get") {
        return evaluateGet(value);
    }
    if (word == u"if") {
        return evaluateIf(value);
    }
    if (word == u"return") {
        return textForm(value);
    }
    return placeholder(name, value);
}

std::u16string cJSONScript::evaluateSwitch(const json::JsonValue& command)
{
    std::u16string result = evaluate(command[u"default"]);
    const std::u16string key = json::toLower(evaluate(command[u"case"]));
    for (const json::JsonValue& item : command[u"items"].elements()) {
        if (json::toLower(textForm(item[u"case"])) == key) {
            return evaluate(item[u"return"]);
        }
    }
    return result;
}

std::u16string cJSONScript::evaluateIf(const json::JsonValue& command)
{
    const std::u16string first = evaluate(command[u"value1"]);
    const std::u16string second = evaluate(command[u"value2"]);
    const std::u16string type = json::toLower(textForm(command[u"type"]));
    return evaluate(command[conditionHolds(type, first, second) ? u"true" : u"false"]);
}

std::u16string cJSONScript::evaluateGet(const json::JsonValue& command)
{
    const auto found = m_variables.find(textForm(command[u"name"]));
    if (found == m_variables.end() || found->second.empty()) {
        return evaluate(command[u"default"]);
    }
    if (found->second.size() > m_readAllowance) {
        throw ReadLimitError();
    }
    m_readAllowance -= found->second.size();
    return found->second;
}

} // namespace script
