#pragma once

// The operator's description of a failed exchange, in Indonesian: which service failed (the school's
// local Murenta service or the regional Tervalis server), at which address, why, and what to check.
// It follows "Error: " in an exchange's result.

#include "client/failure.h"

#include <string>

namespace client {

// Why a table failed when memory ran out while it was fetched, counted or uploaded.
inline constexpr char16_t kOutOfMemory[] = u"memori tidak cukup";

// The request's technical detail is quoted only where its kind alone says too little (a TLS or other
// failure); a refused header is named, a redirect elsewhere gives its target, a slow transfer the floor
// it did not meet. A failure of the settings is told as the settings' own text.
std::u16string describeFailure(const ExchangeFailure& failure);

} // namespace client
