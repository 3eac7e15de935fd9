// Shared by the tests of this folder: capturing diagnostic lines, tables of
// cases as arrays of structs, file helpers.
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>
#include <unistd.h>

// Collects standard output, where the library writes its diagnostic lines.
class StdoutCapture
{
public:
    StdoutCapture() : m_file(std::tmpfile()), m_saved((std::fflush(stdout), dup(fileno(stdout))))
    {
        dup2(fileno(m_file), fileno(stdout));
    }
    ~StdoutCapture() { finish(); }

    // Restores standard output, answering what was printed. Check results after this.
    QString finish()
    {
        if (m_saved >= 0) {
            std::fflush(stdout);
            dup2(m_saved, fileno(stdout));
            close(m_saved);
            m_saved = -1;
            std::rewind(m_file);
            QFile file;
            file.open(m_file, QIODevice::ReadOnly);
            m_text = QString::fromLocal8Bit(file.readAll());
            file.close();
            std::fclose(m_file);
        }
        return m_text;
    }

    // Diagnostic lines "<relative path>:<line>:ERROR" (with anything after).
    static int errorLines(const QString &text, const QString &source)
    {
        return text.count(QRegularExpression("^" + QRegularExpression::escape(source) + ":\\d+:ERROR",
                                             QRegularExpression::MultilineOption));
    }

private:
    std::FILE *m_file;
    int m_saved;
    QString m_text;
};

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

#endif
