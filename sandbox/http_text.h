#pragma once

// The sandbox's HTTP texts: request targets and heads read as they arrived, and the JSON and HTML
// strings its replies are built from. Internal to the sandbox.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sandbox {
struct RecordedRequest;
}

namespace sandbox::detail {

// The path split at "/" into decoded segments (the empty segment before the first "/" dropped), and
// the decoded query parameters.
struct Target {
    std::string rawPath;
    std::vector<std::string> segments;
    std::vector<std::pair<std::string, std::string>> query;

    std::optional<std::string> param(std::string_view name) const
    {
        for (const auto& [key, value] : query) {
            if (key == name) {
                return value;
            }
        }
        return std::nullopt;
    }
};

// %XX escapes decoded, a malformed escape kept as it is; "+" stays a plus.
Target parseTarget(std::string_view target);

// Fills method, target and headers from a head exactly as it arrived.
void readHead(std::string_view head, RecordedRequest& r);

// `text` as a JSON string, quotes included; only the quote, the backslash and control characters escaped.
std::string jsonString(std::string_view text);

// The replies of the regional server (and of the behaviour routes), written without blanks inside
// "success":true and "msg":"...".
std::string verdict(bool success, std::string_view msg);

std::string htmlEscape(std::string_view text);

} // namespace sandbox::detail
