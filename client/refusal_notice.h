#pragma once

// Where CheckEmail shows why it refused a user name. The client shows nothing itself: the program's
// front end supplies this, so that the client runs and is tested without any window.

#include <string_view>

namespace client {

class RefusalNotice {
public:
    virtual ~RefusalNotice() = default;

    // Shows `reason` to the operator and returns once it has been read: a modal message box with a
    // single OK button, no title of its own and no icon.
    virtual void showRefusal(std::u16string_view reason) = 0;
};

} // namespace client
