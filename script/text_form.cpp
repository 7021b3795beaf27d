#include "script/text_form.h"

#include "json/json_escape.h"
#include "json/json_value.h"

namespace script {

namespace {

void appendQuoted(std::u16string& out, std::u16string_view text)
{
    out += u'"';
    json::appendJsonEscaped(out, text);
    out += u'"';
}

void appendJson(std::u16string& out, const json::JsonValue& value)
{
    switch (value.kind()) {
    case json::JsonKind::String:
        appendQuoted(out, value.asString());
        return;
    case json::JsonKind::Object: {
        out += u'{';
        bool first = true;
        for (const json::JsonMember& member : value.members()) {
            if (!first) {
                out += u',';
            }
            first = false;
            appendQuoted(out, member.name());
            out += u':';
            appendJson(out, member.value());
        }
        out += u'}';
        return;
    }
    case json::JsonKind::Array: {
        out += u'[';
        bool first = true;
        for (const json::JsonValue& element : value.elements()) {
            if (!first) {
                out += u',';
            }
            first = false;
            appendJson(out, element);
        }
        out += u']';
        return;
    }
    default:
        out += textForm(value);
        return;
    }
}

} // namespace

std::u16string textForm(const json::JsonValue& value)
{
    switch (value.kind()) {
    case json::JsonKind::Empty:
        return {};
    case json::JsonKind::Null:
        return u"null";
    case json::JsonKind::Boolean:
        return value.asBoolean() ? u"true" : u"false";
    case json::JsonKind::Number:
        // The decimal's own text never depends on the locale, so the point is always ".".
        return value.asNumber().toString();
    case json::JsonKind::String:
        return std::u16string(value.asString());
    case json::JsonKind::Object:
    case json::JsonKind::Array:
        break;
    }
    std::u16string out;
    appendJson(out, value);
    return out;
}

} // namespace script
