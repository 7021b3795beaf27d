#include "workflow/failure_reason.h"

#include "client/failure.h"
#include "client/failure_description.h"
#include "json/decimal.h"
#include "json/json.h"

namespace workflow {
namespace {

using Cause = client::OperationFailure::Cause;

std::u16string clientAccount(const client::OperationFailure& failure)
{
    switch (failure.cause) {
    case Cause::Exchange:
        return client::describeFailure(failure.exchange);
    case Cause::OutOfMemory:
        return client::kOutOfMemory;
    case Cause::UserNotFound:
        return u"Username bukan Operator Sekolah di Murenta";
    case Cause::ErrorStatus:
    case Cause::ServiceMessage:
    case Cause::UnknownReply:
        return failure.message.empty() ? u"Balasan HTTP " + json::decimalText(failure.status) : failure.message;
    case Cause::None:
        break;
    }
    return {};
}

std::u16string resultAccount(std::u16string_view result)
{
    constexpr std::u16string_view kErrorPrefix = u"Error: ";
    if (result.starts_with(kErrorPrefix)) {
        return std::u16string(result.substr(kErrorPrefix.size()));
    }
    const std::u16string msg = json::GetJsonField(result, u"msg");
    return msg.empty() ? std::u16string(result) : msg;
}

} // namespace

std::u16string failureReason(const client::OperationFailure& failure, std::u16string_view result)
{
    const std::u16string account = clientAccount(failure);
    return oneLineReason(account.empty() ? resultAccount(result) : account);
}

std::u16string oneLineReason(std::u16string_view text)
{
    std::u16string line;
    for (const char16_t c : text) {
        const bool lineBreak = c == u'\r' || c == u'\n' || c == u'\t';
        if (!(lineBreak && (line.empty() || line.back() == u' '))) {
            line += lineBreak ? u' ' : c;
        }
    }
    if (line.size() > kReasonLength) {
        line.resize(kReasonLength - 3);
        if ((line.back() & 0xFC00) == 0xD800) {
            line.pop_back(); // never half a character
        }
        line += u"...";
    }
    return line;
}

} // namespace workflow
