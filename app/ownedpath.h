/* The download folder lies in the temporary location, which other users of
 * the computer may write to: what is taken from there must be our own. */
#ifndef OWNEDPATH_H
#define OWNEDPATH_H

#include <QString>

/* A real directory (no link), owned by this user, that nobody else may write to. */
bool folderIsOurs(const QString &path);
/* A real file (no link), owned by this user. */
bool fileIsOurs(const QString &path);

#endif
