// vzsim run by the tests as a process of its own, with its output kept;
// vzquery run against it.
#ifndef VZSIM_PROCESS_H
#define VZSIM_PROCESS_H

#include <QProcess>
#include <QStringList>

class Vzsim
{
public:
    explicit Vzsim(const QString &socket) : m_socket(socket) {}
    ~Vzsim()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool start(const QStringList &args) // and wait until it listens
    {
        m_process.start(QStringLiteral(VZSIM_PATH), QStringList(args) << m_socket);
        while (!output().contains(QLatin1String("vzsim: listening on")))
            if (!m_process.waitForReadyRead(10000))
                return false;
        return true;
    }
    QString output() { return m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput()); }
    QProcess &process() { return m_process; }

private:
    const QString m_socket;
    QProcess m_process;
    QString m_output;
};

#ifdef VZQUERY_PATH
// vzquery run to its end through the bridge at socket.
struct ToolRun {
    int exitCode = -1;
    QString out, err;
};
inline ToolRun runVzquery(const QString &socket, const QStringList &args)
{
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VZMIDI_BRIDGE"), socket);
    env.insert(QStringLiteral("VZMIDI_BACKENDS"), QStringLiteral("bridge"));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(VZQUERY_PATH), args);
    if (!tool.waitForFinished(120000))
        return {};
    return {tool.exitCode(), QString::fromLocal8Bit(tool.readAllStandardOutput()),
            QString::fromLocal8Bit(tool.readAllStandardError())};
}
#endif

#endif
