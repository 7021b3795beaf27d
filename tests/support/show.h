#pragma once

#include "json/utf8.h"

#include <string>
#include <string_view>

// UTF-16 text as UTF-8, for test failure messages.
inline std::string show(std::u16string_view text)
{
    return json::Utf16ToUtf8(text);
}
