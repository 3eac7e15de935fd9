#include "onlinekit.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QSslKey>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>
#include <sys/stat.h>
#include <zip.h>

#include "apptiming.h"

const QString informationPath =
    QStringLiteral("/download/fw/Veldracorder/VeldracorderQ7_UpdateInformation.json");

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator(quint32(count)).generate(bytes.begin(), bytes.end());
    return bytes;
}

QByteArray zipOf(const QList<ZipEntry> &entries)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("archive.zip"));
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE, nullptr);
    if (!archive)
        return {};
    for (const ZipEntry &entry : entries) {
        // The entries outlive zip_close, so their bytes need not be copied.
        zip_source_t *source =
            zip_source_buffer(archive, entry.data.constData(), zip_uint64_t(entry.data.size()), 0);
        const zip_int64_t index = zip_file_add(archive, entry.name.constData(), source, ZIP_FL_ENC_RAW);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return {};
        }
        if (entry.link)
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             (S_IFLNK | 0777u) << 16);
    }
    if (zip_close(archive) != 0)
        zip_discard(archive); // and no file to read
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void declareSize(QByteArray &zip, const QByteArray &name, quint32 size)
{
    // The name follows the fixed part of the local (30 bytes) and central
    // (46 bytes) headers, whose uncompressed size sits 8 and 22 bytes before it.
    const quint32 little = qToLittleEndian(size);
    for (int at = zip.indexOf(name); at >= 0; at = zip.indexOf(name, at + 1)) {
        if (at >= 30 && zip.mid(at - 30, 4) == QByteArray("PK\x03\x04", 4))
            zip.replace(at - 8, 4, reinterpret_cast<const char *>(&little), 4);
        else if (at >= 46 && zip.mid(at - 46, 4) == QByteArray("PK\x01\x02", 4))
            zip.replace(at - 22, 4, reinterpret_cast<const char *>(&little), 4);
    }
}

UpdateRoute answer(int status, const QByteArray &body)
{
    UpdateRoute route;
    route.status = status;
    route.body = body;
    return route;
}

Contents contentsOf(const QString &folder)
{
    Contents contents;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(folder).relativeFilePath(file.fileName());
        if (info.isSymLink() || info.isDir())
            contents.insert(name, info.isSymLink() ? "<link>" : "<dir>");
        else if (file.open(QIODevice::ReadOnly))
            contents.insert(name, file.readAll());
    }
    return contents;
}

void OnlineFixture::setUp()
{
    // A loopback certificate of its own, which only this process will trust.
    const QString command =
        "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -keyout "
        "server.key -out server.pem -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1";
    QProcess openssl;
    openssl.setWorkingDirectory(pki.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), command.split(' '));
    QVERIFY2(openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
                 openssl.exitCode() == 0,
             openssl.readAll().constData());
    QFile key(pki.filePath(QStringLiteral("server.key")));
    QVERIFY(key.open(QIODevice::ReadOnly));
    server.setTls(QSslCertificate::fromPath(pki.filePath(QStringLiteral("server.pem"))).value(0),
                  QSslKey(&key, QSsl::Ec));
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(server.start());
    startDirectory = QDir::currentPath();
}

void OnlineFixture::startCase()
{
    // Saving a download makes the folder the current directory.
    QDir::setCurrent(startDirectory);
    server.closeConnections();
    temporary.reset(new QTemporaryDir(cases.filePath(QStringLiteral("case-XXXXXX"))));
    qputenv("TMPDIR", QFile::encodeName(temporary->path()));
    qputenv("VZ_UPDATE_INFO_URL", url(informationPath).toEncoded());
    server.clearRoutes();
    trustServer(true);
    AppTiming::setScale(1.0);
}

// The process trusts the test server and nothing else, or nothing at all.
void OnlineFixture::trustServer(bool trusted)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(QSslCertificate::fromPath(pki.filePath(trusted ? "server.pem" : "none")));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

QUrl OnlineFixture::url(const QString &path) const
{
    return server.baseUrl().resolved(QUrl(path));
}
