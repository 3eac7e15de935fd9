// vzsim run by the tests as a separate process on a socket of its own,
// with its output kept.
#ifndef VZSIM_PROCESS_H
#define VZSIM_PROCESS_H

#include <QProcess>
#include <QString>
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
    // Starts it and waits until it listens.
    bool start(const QStringList &args)
    {
        m_process.start(QStringLiteral(VZSIM_PATH), QStringList(args) << m_socket);
        while (!output().contains(QLatin1String("vzsim: listening on")))
            if (!m_process.waitForReadyRead(10000))
                return false;
        return true;
    }
    QString output()
    {
        m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        return m_output;
    }
    QProcess &process() { return m_process; }

private:
    QString m_socket;
    QProcess m_process;
    QString m_output;
};

#endif
