#pragma once

namespace platform {

// The program's name: the title of every message box that has none of its own.
inline constexpr char16_t kApplicationName[] = u"Murenta Tervalis Helper";

} // namespace platform
