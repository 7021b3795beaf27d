#include "workflow/run_record.h"

#include "platform/qt_text.h"
#include "json/decimal.h"
#include "json/json.h"
#include "json/json_escape.h"

#include <algorithm>

namespace workflow {
namespace {

constexpr std::u16string_view kWindowMode = u"window";
constexpr std::u16string_view kConsoleMode = u"console";

// The local time with its offset from UTC, so that runs on either side of a clock change still sort.
std::u16string isoTime(const QDateTime& time)
{
    return platform::toU16(time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate));
}

std::u16string quoted(std::u16string_view text)
{
    return u"\"" + json::jsonEscaped(text) + u"\"";
}

std::u16string_view boolean(bool value)
{
    return value ? u"true" : u"false";
}

std::u16string tableObject(const TableRecord& table)
{
    return u"{\"name\":" + quoted(table.name) + u",\"rows\":" + json::decimalText(table.rows) + u",\"sent\":" +
           std::u16string(boolean(table.sent)) + u",\"processed\":" + std::u16string(boolean(table.processed)) +
           u",\"reason\":" + quoted(table.reason) + u"}";
}

std::int64_t wholeNumber(const json::JsonValue& value, std::int64_t fallback)
{
    return value.isNumber() ? value.asNumber().toInt64().value_or(fallback) : fallback;
}

TableRecord tableFrom(const json::JsonValue& value)
{
    return {std::u16string(value[u"name"].asString()), wholeNumber(value[u"rows"], 0), value[u"sent"].asBoolean(),
            value[u"processed"].asBoolean(), std::u16string(value[u"reason"].asString())};
}

QDateTime timeFrom(const json::JsonValue& value)
{
    return QDateTime::fromString(platform::toQString(value.asString()), Qt::ISODate);
}

} // namespace

std::size_t RunRecord::tablesSent() const
{
    return static_cast<std::size_t>(
        std::count_if(tables.begin(), tables.end(), [](const TableRecord& t) { return t.sent; }));
}

std::string formatRecordLine(const RunRecord& record)
{
    std::u16string tables;
    for (const TableRecord& table : record.tables) {
        tables += (tables.empty() ? u"" : u",") + tableObject(table);
    }
    const std::u16string line =
        u"{\"start\":" + quoted(isoTime(record.start)) + u",\"end\":" + quoted(isoTime(record.end)) + u",\"mode\":" +
        quoted(record.mode == RunMode::Console ? kConsoleMode : kWindowMode) + u",\"status\":" + quoted(record.status) +
        u",\"color\":" + json::decimalText(record.statusColor) + u",\"exit\":" + json::decimalText(record.exitStatus) +
        u",\"sendsToday\":" + (record.sendsToday ? json::decimalText(*record.sendsToday) : u"null") + u",\"reason\":" +
        quoted(record.reason) + u",\"tables\":[" + tables + u"]}\n";
    return json::Utf16ToUtf8(line);
}

std::optional<RunRecord> parseRecordLine(std::string_view line)
{
    const std::optional<json::JsonValue> root = json::ParseJsonUtf8(line);
    // The lenient parser returns what it could read of a cut line; only a clean parse is a whole one.
    if (!root || !root->isObject() || !json::LastParseErrors().empty()) {
        return std::nullopt;
    }
    const json::JsonValue& v = *root;
    const std::u16string_view mode = v[u"mode"].asString();
    RunRecord record;
    record.start = timeFrom(v[u"start"]);
    if (!record.start.isValid() || !v[u"status"].isString() || (mode != kWindowMode && mode != kConsoleMode)) {
        return std::nullopt;
    }
    record.end = timeFrom(v[u"end"]);
    if (!record.end.isValid()) {
        record.end = record.start;
    }
    record.mode = mode == kConsoleMode ? RunMode::Console : RunMode::Window;
    record.status = v[u"status"].asString();
    record.statusColor = static_cast<Color>(wholeNumber(v[u"color"], ColorFail));
    record.exitStatus = static_cast<int>(wholeNumber(v[u"exit"], 0));
    if (v[u"sendsToday"].isNumber()) {
        record.sendsToday = v[u"sendsToday"].asNumber().toInt64();
    }
    record.reason = v[u"reason"].asString();
    for (const json::JsonValue& table : v[u"tables"].elements()) {
        record.tables.push_back(tableFrom(table));
    }
    return record;
}

} // namespace workflow
