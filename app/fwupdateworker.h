/* Runs one firmware update on a thread of its own and reports the outcome
 * by signals; progress travels through the controller's UpdateProgress. */
#ifndef FWUPDATEWORKER_H
#define FWUPDATEWORKER_H

#include <QObject>
#include <QString>

#include <array>

struct UpdateProgress;

class FWUpdateWorker : public QObject
{
    Q_OBJECT
public:
    explicit FWUpdateWorker(QObject *parent = nullptr);

    /* Three checksum readings agree when they spread over at most 256; a
     * reading of 0 counts as no reading for the running extremes. */
    static bool readingsAgree(const std::array<quint32, 3> &readings);

    UpdateProgress *progress = nullptr; /* the controller's, not owned */

signals:
    void completed();
    void finished();
    void process_text(QString text);
    void error(QString err);

public slots:
    void process();

private:
    bool precheck(quint32 size);
};

#endif
