#include "client/client.h"

#include "client/http_exchange.h"
#include "client/refusal_notice.h"
#include "client/request_text.h"

#include "json/json.h"
#include "json/json_escape.h"

namespace client {

namespace {

constexpr std::u16string_view kOperatorRole = u"Operator Sekolah";

std::u16string_view trimSpaces(std::u16string_view text)
{
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

// A password the list writes as a number is taken as its digits; any other non-text as empty.
std::u16string passwordText(const json::JsonValue& value)
{
    if (value.isNumber()) {
        return value.asNumber().toString();
    }
    return std::u16string(value.asString());
}

} // namespace

std::u16string Client::GetLocalData(std::u16string_view endpoint, std::u16string_view npsn, std::u16string_view token)
{
    return exchange(u"GET", localUrl(endpoint, npsn), token, std::nullopt).text();
}

std::u16string Client::refuse(std::u16string_view reason, OperationFailure failure)
{
    m_refusals.showRefusal(reason);
    m_lastFailure = std::move(failure);
    return u"tidak valid";
}

std::u16string Client::CheckEmail(std::u16string_view npsn, std::u16string_view token, std::u16string_view userName)
{
    using Cause = OperationFailure::Cause;
    const ExchangeReply fetched = exchange(u"GET", localUrl(u"getPengguna", npsn), token, std::nullopt);
    // A transport failure is shown as it is, even when its description happens to hold one of the
    // words looked for below (an address may).
    if (!fetched.ok()) {
        return refuse(fetched.text(), m_lastFailure);
    }
    const std::u16string reply = fetched.text();
    if (reply.find(u"results") == std::u16string::npos) {
        if (reply.find(u"message") != std::u16string::npos) {
            const std::u16string message = json::GetJsonField(reply, u"message");
            return refuse(u"Error: " + message,
                          {.cause = Cause::ServiceMessage, .status = fetched.status, .message = message});
        }
        return refuse(reply, {.cause = Cause::UnknownReply, .status = fetched.status});
    }

    const std::u16string_view typed = trimSpaces(userName);
    bool found = false;
    std::optional<std::u16string> otherRole;
    if (const auto root = json::ParseJson(reply)) {
        for (const json::JsonValue& user : (*root)[u"rows"].elements()) {
            const json::JsonValue& name = user[u"username"];
            if (!name.isString() || name.asString() != typed) {
                continue;
            }
            const json::JsonValue& role = user[u"peran_id_str"];
            if (role.isString() && role.asString() == kOperatorRole) {
                m_operatorPassword = passwordText(user[u"password"]);
                found = true;
            } else if (!otherRole) {
                otherRole = std::u16string(role.asString());
            }
        }
    }
    if (found) {
        return u"valid";
    }
    return refuse(u"Gagal: Username Salah !!!", {.cause = Cause::UserNotFound, .otherRole = std::move(otherRole)});
}

std::u16string Client::CheckUser(std::u16string_view npsn, std::u16string_view email, std::u16string_view password)
{
    const std::u16string body = u"{\"npsn\":\"" + json::jsonEscaped(npsn) + u"\",\"email\":\"" + json::jsonEscaped(email) +
                                u"\",\"password\":\"" + json::jsonEscaped(password) + u"\"}";
    return HttpExchange(u"POST", serverUrl(u"/api_api/cek_pengguna"), std::nullopt, body);
}

} // namespace client
