#pragma once

// Why a step of the startup check or of a send run failed, in one sentence: logged under the failing
// line ("Alasan: " + it) and kept beside the step's outcome, so that the window, the console and
// --log-file all say it, and a record of the run can keep it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace client {
class Client;
}

namespace workflow {

// Why a run or a check ended before its time: the window was closed.
inline constexpr std::u16string_view kWindowClosedReason = u"Jendela ditutup sebelum selesai";

// The longest reason, in UTF-16 code units.
inline constexpr std::size_t kLongestReason = 200;

// Why the operation `client` ran last failed, given the text it returned, on one line (see oneLine):
// the description of a transport failure naming the service and its address, "memori tidak cukup", the
// service's own "message" or "msg" text (with the HTTP status when the reply had an error status), which
// case refused the user name at the e-mail check, or for a reply that says nothing of its own (an HTML
// page, any other body) "jawaban tidak dikenal, status HTTP " + its status.
std::u16string failureReason(std::u16string_view result, const client::Client& client);

// `text` on one line of at most kLongestReason code units: each run of blanks, line breaks and other
// control characters becomes one space, none is left at either end, and a longer text is cut (never
// inside a surrogate pair) and ends with "…".
std::u16string oneLine(std::u16string_view text);

// The line right under `failingLine` that says why: its indentation and four spaces more, "Alasan: "
// and the reason.
std::u16string reasonLine(std::u16string_view failingLine, std::u16string_view reason);

// The text member `key` of a reply whose root is a JSON object; nothing when the reply is no such
// object, or the member is no text or holds only blanks.
std::optional<std::u16string> replyText(std::u16string_view reply, std::u16string_view key);

} // namespace workflow
