#include "platform/file_access.h"

#include <windows.h>

#include <aclapi.h>

#include <string>
#include <vector>

namespace platform {

std::vector<unsigned char> currentUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> tokenUser(size);
    const bool ok = size > 0 && GetTokenInformation(token, TokenUser, tokenUser.data(), size, &size);
    CloseHandle(token);
    if (!ok) {
        return {};
    }
    const PSID sid = reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
    const auto* bytes = static_cast<const unsigned char*>(sid);
    return std::vector<unsigned char>(bytes, bytes + GetLengthSid(sid));
}

bool restrictToOwner(const QString& path)
{
    std::vector<unsigned char> userSid = currentUserSid();
    if (userSid.empty()) {
        return false;
    }
    const PSID user = userSid.data();
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
