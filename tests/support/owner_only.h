#pragma once

// Whether only the file's owner may open it: mode 0600 on POSIX systems; on Windows an access list that
// inherits nothing and holds one entry, full control for the current user.

#include <QFile>
#include <QString>

#ifdef _WIN32
#include "platform/file_access.h"

#include <windows.h>

#include <aclapi.h>

#include <vector>
#else
#include <sys/stat.h>
#endif

namespace testing_support {

#ifdef _WIN32
// Wine accepts a file's access list and keeps none: it reads back what the folder gives.
inline bool accessListsKept()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return !(ntdll && GetProcAddress(ntdll, "wine_get_version"));
}

inline bool isOwnerOnly(const QString& path)
{
    std::vector<unsigned char> userSid = platform::currentUserSid();
    if (userSid.empty()) {
        return false;
    }
    const PSID user = userSid.data();

    std::wstring name = path.toStdWString();
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                              &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    void* ace = nullptr;
    const bool ownerOnly = acl && GetSecurityDescriptorControl(descriptor, &control, &revision) &&
                           (control & SE_DACL_PROTECTED) && acl->AceCount == 1 && GetAce(acl, 0, &ace) &&
                           static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
                           static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask == FILE_ALL_ACCESS &&
                           EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, user);
    LocalFree(descriptor);
    return ownerOnly;
}
#else
inline bool accessListsKept()
{
    return true;
}

inline bool isOwnerOnly(const QString& path)
{
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & 0777) == 0600;
}
#endif

} // namespace testing_support
