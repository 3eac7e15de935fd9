// Collects what the code under test prints to standard output, where the
// library writes its diagnostic lines.
#ifndef STDOUT_CAPTURE_H
#define STDOUT_CAPTURE_H

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <cstdio>
#include <unistd.h>

class StdoutCapture
{
public:
    StdoutCapture()
    {
        std::fflush(stdout);
        m_file = std::tmpfile();
        m_saved = dup(fileno(stdout));
        dup2(fileno(m_file), fileno(stdout));
    }
    ~StdoutCapture() { finish(); }

    // Restores standard output and answers everything printed meanwhile.
    // Check results only after this, or a failure message would be captured.
    QString finish()
    {
        if (m_saved < 0)
            return m_text;
        std::fflush(stdout);
        dup2(m_saved, fileno(stdout));
        close(m_saved);
        m_saved = -1;
        QByteArray bytes;
        std::rewind(m_file);
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, m_file)) > 0)
            bytes.append(chunk, int(got));
        std::fclose(m_file);
        m_text = QString::fromLocal8Bit(bytes);
        return m_text;
    }

    // Diagnostic lines "<relative path>:<line>:ERROR" (with anything after).
    static int errorLines(const QString &text, const QString &source)
    {
        const QRegularExpression line(
            QStringLiteral("^%1:\\d+:ERROR").arg(QRegularExpression::escape(source)),
            QRegularExpression::MultilineOption);
        int count = 0;
        for (auto it = line.globalMatch(text); it.hasNext(); it.next())
            ++count;
        return count;
    }

private:
    std::FILE *m_file = nullptr;
    int m_saved = -1;
    QString m_text;
};

#endif
