#include "client/client.h"

#include "client/request_text.h"

namespace client {

std::u16string Client::GetSetting(std::u16string_view key)
{
    return HttpExchange(u"GET", serverUrl(u"/api_api/ambil_seting/" + percentEncode(key)));
}

} // namespace client
