// Shared by the tests of the message library, the port layer and the links:
// capturing diagnostic lines, tables of cases as arrays of structs, file
// helpers, running a program.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>
#include <unistd.h>

// Collects standard output, where the library and the port layer write their
// diagnostic lines, and with `andErrors` standard error too.
class StdoutCapture
{
public:
    explicit StdoutCapture(bool andErrors = false) : m_file(std::tmpfile())
    {
        std::fflush(nullptr);
        for (int fd = 1; fd <= (andErrors ? 2 : 1); ++fd) {
            m_saved[fd - 1] = dup(fd);
            dup2(fileno(m_file), fd);
        }
    }
    ~StdoutCapture() { finish(); }

    // Restores the streams, answering what was printed. Check results after this.
    QString finish()
    {
        if (!m_file)
            return m_text;
        std::fflush(nullptr);
        for (int fd = 1; fd <= 2; ++fd) {
            if (m_saved[fd - 1] >= 0) {
                dup2(m_saved[fd - 1], fd);
                close(m_saved[fd - 1]);
            }
        }
        std::rewind(m_file);
        QFile file;
        file.open(m_file, QIODevice::ReadOnly);
        m_text = QString::fromLocal8Bit(file.readAll());
        file.close();
        std::fclose(m_file);
        m_file = nullptr;
        return m_text;
    }

    // Diagnostic lines "<relative path>:<line>:<what>", by default "ERROR" with
    // anything after it; a given `what` must end the line.
    static int errorLines(const QString &text, const QString &source, const QString &what = QString())
    {
        const QString tail = what.isNull() ? QStringLiteral("ERROR") : QRegularExpression::escape(what) + '$';
        return text.count(QRegularExpression("^" + QRegularExpression::escape(source) + ":\\d+:" + tail,
                                             QRegularExpression::MultilineOption));
    }

private:
    std::FILE *m_file;
    int m_saved[2] = {-1, -1};
    QString m_text;
};

// What `code` printed.
template <typename Code> QString printedBy(Code code, bool andErrors = false)
{
    StdoutCapture capture(andErrors);
    code();
    return capture.finish();
}

// One data row per case, named by the case; the test fetches its case.
template <typename Case, size_t N> static void addRows(const Case (&cases)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(cases[i].name) << int(i);
}
template <typename Case, size_t N> static const Case &fetchCase(const Case (&cases)[N])
{
    QFETCH(int, row);
    return cases[row];
}

inline const uint8_t *bytesOf(const QByteArray &bytes)
{
    return reinterpret_cast<const uint8_t *>(bytes.constData());
}
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a program run to its end in folder gave: standard output and error
// apart, Windows line ends as Unix ones; exit code -1 when it did not end.
struct ProgramRun {
    int exitCode = -1;
    QByteArray out, err;
};
inline ProgramRun runProgram(const QString &program, const QStringList &args,
                             const QString &folder = QString(),
                             const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(program, args);
    ProgramRun result;
    if (process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput().replace("\r\n", "\n");
    result.err = process.readAllStandardError().replace("\r\n", "\n");
    return result;
}

#endif
