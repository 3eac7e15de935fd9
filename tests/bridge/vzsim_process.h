// vzsim run as a separate process by the tests, on a socket of its own.
#ifndef VZSIM_PROCESS_H
#define VZSIM_PROCESS_H

#include <QProcess>
#include <QString>
#include <QStringList>

// vzsim on a socket of its own, with its output kept.
class Vzsim
{
public:
    explicit Vzsim(const QString &socket) : m_socket(socket) {}
    ~Vzsim()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Starts it and waits until it listens.
    bool start(const QStringList &args)
    {
        m_process.start(QStringLiteral(VZSIM_PATH), QStringList(args) << m_socket);
        if (!m_process.waitForStarted())
            return false;
        while (!output().contains(QLatin1String("vzsim: listening on"))) {
            if (!m_process.waitForReadyRead(10000))
                return false;
        }
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
