// What a piece of code writes to standard output and error.
#ifndef OUTPUT_CAPTURE_H
#define OUTPUT_CAPTURE_H

#include <QTemporaryFile>
#include <cstdio>
#include <unistd.h>

template <typename Code> QByteArray printedBy(Code code)
{
    QTemporaryFile file;
    if (!file.open())
        return "no file to capture the output in";
    std::fflush(nullptr);
    const int saved[2] = {::dup(1), ::dup(2)};
    for (int fd : {1, 2})
        ::dup2(file.handle(), fd);
    code();
    std::fflush(nullptr);
    for (int fd : {1, 2}) {
        ::dup2(saved[fd - 1], fd);
        ::close(saved[fd - 1]);
    }
    file.seek(0);
    return file.readAll();
}

#endif
