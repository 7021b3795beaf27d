#include "workflow/failure_reason.h"

#include "client/client.h"
#include "client/failure_description.h"
#include "json/decimal.h"
#include "json/json.h"

#include <algorithm>

namespace workflow {
namespace {

using Cause = client::OperationFailure::Cause;

// Line breaks (CR, LF, NEL, the Unicode line and paragraph separators), tabs and other control
// characters, and blanks.
bool breaksLine(char16_t unit)
{
    return unit <= u' ' || unit == u'\x7f' || unit == u'\x85' || unit == u'\u2028' || unit == u'\u2029';
}

bool isBlank(std::u16string_view text)
{
    return std::all_of(text.begin(), text.end(), breaksLine);
}

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

std::u16string unknownReply(int status)
{
    return u"jawaban tidak dikenal, status HTTP " + json::decimalText(status);
}

// What the service said, or what is left to tell of a reply that said nothing.
std::u16string serviceSaid(std::u16string_view message, int status)
{
    return isBlank(message) ? unknownReply(status) : std::u16string(message);
}

std::u16string userNotFound(const std::optional<std::u16string>& otherRole)
{
    if (!otherRole) {
        return u"tidak ada pengguna dengan username ini di layanan Murenta lokal";
    }
    return u"pengguna ini terdaftar dengan peran \"" + *otherRole + u"\", bukan \"Operator Sekolah\"";
}

std::u16string describe(std::u16string_view result, const client::OperationFailure& failure, int replyStatus)
{
    switch (failure.cause) {
    case Cause::Exchange:
        return client::describeFailure(failure.exchange);
    case Cause::OutOfMemory:
        return client::kOutOfMemory;
    case Cause::ErrorStatus:
        if (isBlank(failure.message)) {
            return unknownReply(failure.status);
        }
        return failure.message + u" (status HTTP " + json::decimalText(failure.status) + u")";
    case Cause::ServiceMessage:
        return serviceSaid(failure.message, failure.status);
    case Cause::UnknownReply:
        return unknownReply(failure.status);
    case Cause::UserNotFound:
        return userNotFound(failure.otherRole);
    case Cause::None:
        break;
    }
    // The reply itself says why, when it says anything.
    for (const std::u16string_view key : {u"msg", u"message"}) {
        if (std::optional<std::u16string> said = replyText(result, key)) {
            return std::move(*said);
        }
    }
    return unknownReply(replyStatus);
}

} // namespace

std::u16string failureReason(std::u16string_view result, const client::Client& client)
{
    return oneLine(describe(result, client.LastFailure(), client.LastReplyStatus()));
}

std::u16string oneLine(std::u16string_view text)
{
    std::u16string line;
    bool gap = false;
    for (const char16_t unit : text) {
        if (breaksLine(unit)) {
            gap = !line.empty();
            continue;
        }
        if (gap) {
            line += u' ';
            gap = false;
        }
        line += unit;
    }
    if (line.size() <= kLongestReason) {
        return line;
    }
    std::size_t kept = kLongestReason - 1;
    if (isHighSurrogate(line[kept - 1])) {
        --kept;
    }
    line.resize(kept);
    while (!line.empty() && line.back() == u' ') {
        line.pop_back();
    }
    return line + u"\u2026";
}

std::u16string reasonLine(std::u16string_view failingLine, std::u16string_view reason)
{
    const std::size_t indent = std::min(failingLine.find_first_not_of(u' '), failingLine.size());
    return std::u16string(indent + 4, u' ') + u"Alasan: " + std::u16string(reason);
}

std::optional<std::u16string> replyText(std::u16string_view reply, std::u16string_view key)
{
    const std::optional<json::JsonValue> root = json::ParseJson(reply);
    if (!root || !root->isObject()) {
        return std::nullopt;
    }
    const json::JsonValue& member = (*root)[key];
    if (!member.isString() || isBlank(member.asString())) {
        return std::nullopt;
    }
    return std::u16string(member.asString());
}

} // namespace workflow
