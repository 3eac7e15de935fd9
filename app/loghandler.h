/* The application's message handler: every message to standard error,
 * debug messages also to a dated log file in the per-user data folder. */
#ifndef LOGHANDLER_H
#define LOGHANDLER_H

#include <QtGlobal>

class QMessageLogContext;
class QString;

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);

#endif
