#pragma once

// Why a step of the startup check or the send run failed, in one line for the send history.

#include <string>
#include <string_view>

namespace client {
struct OperationFailure;
}

namespace workflow {

// Why a run or a check ended before its time in the window.
inline constexpr std::u16string_view kWindowClosedReason = u"Jendela ditutup sebelum selesai";

// The longest reason kept; a longer one is cut and ends in "...".
inline constexpr std::size_t kReasonLength = 200;

// The client's own account of the failure when it has one (a failed request, memory, an HTTP error
// status, the service's "message"), else what the step's result says: the "msg" of a reply that has one,
// the text after "Error: ", or the result itself. Line breaks become blanks.
std::u16string failureReason(const client::OperationFailure& failure, std::u16string_view result);
// `text` on one line of at most kReasonLength characters.
std::u16string oneLineReason(std::u16string_view text);

} // namespace workflow
