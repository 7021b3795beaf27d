#include "platform/file_access.h"

#include <windows.h>

#include <aclapi.h>

#include <string>
#include <vector>

namespace platform {

namespace {

// The security identifier of the user the program runs as, in `buffer`.
PSID currentUser(std::vector<unsigned char>& buffer)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    buffer.resize(size);
    const bool ok = size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    CloseHandle(token);
    return ok ? reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid : nullptr;
}

} // namespace

bool restrictToOwner(const QString& path)
{
    std::vector<unsigned char> userBuffer;
    const PSID user = currentUser(userBuffer);
    if (!user) {
        return false;
    }
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user) - sizeof(DWORD);
    std::vector<unsigned char> aclBuffer(aclSize);
    auto* acl = reinterpret_cast<PACL>(aclBuffer.data());
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user)) {
        return false;
    }
    std::wstring name = path.toStdWString();
    // Protected: the folder's inheritable entries (Users, Everyone) no longer apply to the file.
    return SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                 acl, nullptr) == ERROR_SUCCESS;
}

} // namespace platform
