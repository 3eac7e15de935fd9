#include "ownedpath.h"

#include <QFileInfo>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace
{

/* Windows keeps the temporary location per user; there the owner check has
 * nothing to add. */
bool ownedByUs(const QFileInfo &info)
{
#ifdef Q_OS_WIN
    Q_UNUSED(info)
    return true;
#else
    return info.ownerId() == ::geteuid();
#endif
}

} // namespace

bool folderIsOurs(const QString &path)
{
    const QFileInfo info(path);
    return !info.isSymLink() && info.isDir() && ownedByUs(info) &&
           !(info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther));
}

bool fileIsOurs(const QString &path)
{
    const QFileInfo info(path);
    return !info.isSymLink() && info.isFile() && ownedByUs(info);
}
