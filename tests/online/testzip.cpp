#include "testzip.h"

#include <QFile>
#include <QtEndian>
#include <cstring>
#include <sys/stat.h>
#include <zip.h>

namespace
{

struct ZeroSource {
    quint64 size;
    quint64 offset = 0;
    zip_error_t error;
};

zip_int64_t zeroCallback(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *source = static_cast<ZeroSource *>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        source->offset = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t count = qMin<zip_uint64_t>(length, source->size - source->offset);
        std::memset(data, 0, count);
        source->offset += count;
        return zip_int64_t(count);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto *stat = static_cast<zip_stat_t *>(data);
        zip_stat_init(stat);
        stat->size = source->size;
        stat->valid |= ZIP_STAT_SIZE;
        return sizeof(*stat);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&source->error);
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

zip_source_t *makeSource(zip_t *archive, const TestZipEntry &entry)
{
    if (entry.kind == TestZipEntry::ZeroFill) {
        auto *state = new ZeroSource{entry.zeros, 0, {}};
        zip_error_init(&state->error);
        zip_source_t *source = zip_source_function(archive, zeroCallback, state);
        if (!source) {
            zip_error_fini(&state->error);
            delete state;
        }
        return source;
    }
    // The entries outlive zip_close, so the bytes need not be copied.
    return zip_source_buffer(archive, entry.data.constData(), zip_uint64_t(entry.data.size()), 0);
}

bool addEntry(zip_t *archive, const TestZipEntry &entry)
{
    if (entry.kind == TestZipEntry::Directory)
        return zip_dir_add(archive, entry.name.constData(), ZIP_FL_ENC_RAW) >= 0;
    zip_source_t *source = makeSource(archive, entry);
    if (!source)
        return false;
    const zip_int64_t index = zip_file_add(archive, entry.name.constData(), source, ZIP_FL_ENC_RAW);
    if (index < 0) {
        zip_source_free(source);
        return false;
    }
    const auto at = zip_uint64_t(index);
    switch (entry.kind) {
    case TestZipEntry::Symlink:
        return zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16) == 0;
    case TestZipEntry::Encrypted:
        return zip_file_set_encryption(archive, at, ZIP_EM_AES_256, "secret") == 0;
    case TestZipEntry::ZeroFill:
        return zip_set_file_compression(archive, at, ZIP_CM_DEFLATE, 9) == 0;
    default:
        return true;
    }
}

// Offsets of the fields in the zip headers (APPNOTE 4.3.7 and 4.3.12).
struct HeaderLayout {
    QByteArray signature;
    int sizeField;
    int nameLengthField;
    int nameField;
};
const HeaderLayout localHeader{QByteArray("PK\x03\x04", 4), 22, 26, 30};
const HeaderLayout centralHeader{QByteArray("PK\x01\x02", 4), 24, 28, 46};

// Calls change(header) for each header of the named entry; how many there were.
template <typename Change>
int patchHeaders(QByteArray &bytes, const HeaderLayout &layout, const QByteArray &name, Change change)
{
    int patched = 0;
    for (int at = bytes.indexOf(layout.signature); at >= 0; at = bytes.indexOf(layout.signature, at + 1)) {
        if (at + layout.nameField > bytes.size())
            break;
        auto *header = reinterpret_cast<uchar *>(bytes.data() + at);
        const int nameLength = qFromLittleEndian<quint16>(header + layout.nameLengthField);
        if (bytes.mid(at + layout.nameField, nameLength) != name)
            continue;
        change(header, layout);
        ++patched;
    }
    return patched;
}

} // namespace

QString writeTestZip(const QString &path, const QList<TestZipEntry> &entries)
{
    int code = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive)
        return QStringLiteral("cannot create %1 (libzip error %2)").arg(path).arg(code);
    for (const TestZipEntry &entry : entries) {
        if (!addEntry(archive, entry)) {
            const QString reason = QString::fromUtf8(zip_strerror(archive));
            zip_discard(archive);
            return QStringLiteral("cannot add %1: %2").arg(QString::fromUtf8(entry.name), reason);
        }
    }
    if (zip_close(archive) != 0) {
        const QString reason = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        return QStringLiteral("cannot write %1: %2").arg(path, reason);
    }
    return QString();
}

namespace
{

template <typename Change> bool patchFile(const QString &path, const QByteArray &name, Change change)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const bool both = patchHeaders(bytes, localHeader, name, change) == 1 &&
                      patchHeaders(bytes, centralHeader, name, change) == 1;
    return both && file.seek(0) && file.write(bytes) == bytes.size();
}

} // namespace

bool patchDeclaredSize(const QString &path, const QByteArray &name, quint32 size)
{
    return patchFile(path, name, [size](uchar *header, const HeaderLayout &layout) {
        qToLittleEndian<quint32>(size, header + layout.sizeField);
    });
}

bool patchName(const QString &path, const QByteArray &name, const QByteArray &replacement)
{
    if (replacement.size() != name.size())
        return false;
    return patchFile(path, name, [&replacement](uchar *header, const HeaderLayout &layout) {
        std::memcpy(header + layout.nameField, replacement.constData(), size_t(replacement.size()));
    });
}
