// The recorder simulator on its own, where the tests through the port layer
// would not notice its faults: the image check and the requests it counts as
// the host's mistakes.
#include <QtTest>

#include "test_images.h"
#include "test_support.h"
#include "vzmsg_ctl.h"
#include "vzsim_image_check.h"
#include "vzsim_recorder.h"

using namespace simtest;
using vzsim::Bytes;

namespace
{

// The frame of a request record that `add` fills.
template <typename Add> Bytes request(Add add)
{
    uint8_t buffer[vzsim::kRecordSize] = {};
    vzmsg_t msg;
    vzmsg_init(&msg, buffer, sizeof buffer);
    add(&msg);
    return vzsim::encodeFrame(buffer, msg.position);
}

Bytes command(uint8_t code)
{
    return request([code](vzmsg_t *msg) { vzmsg_add_cmd(msg, code); });
}

struct Check {
    const char *name;
    int32_t payload;
    std::string product, expected;
    std::vector<int> flipped; // bytes changed; below 0 from the end
    size_t cut;               // bytes missing at the end
    uint32_t verdict;
};
const Check checks[] = {
    {"sound", 500, "VELDR-Q7", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"empty payload", 0, "VELDR-Q7", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"other product", 500, "VD-NIMBO", "VELDR-Q7", {}, 0, VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT},
    {"the recorder's own product", 500, "VD-NIMBO", "VD-NIMBO", {}, 0, VZMSG_DATA_FWUP_STATUS_WRITE_READY},
    {"payload byte changed", 500, "VELDR-Q7", "VELDR-Q7", {100}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
    {"trailer changed", 500, "VELDR-Q7", "VELDR-Q7", {-1}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
    {"header declares another size", 500, "VELDR-Q7", "VELDR-Q7", {23}, 0, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
    {"fewer bytes than announced", 500, "VELDR-Q7", "VELDR-Q7", {}, 1, VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK},
};

Bytes block(uint16_t length)
{
    static const uint8_t bytes[16] = {};
    return request([length](vzmsg_t *m) { vzmsg_add_str16(m, VZMSG_DATA_FWUP_DATA, bytes, length); });
}

// Requests that went before: update mode, the size of 100 bytes, a status
// poll and a question answered with 10 bytes free.
const Bytes before[] = {command(VZMSG_DATA_FWUP_MODE),
                        request([](vzmsg_t *m) { vzmsg_add_u32(m, VZMSG_DATA_FWUP_SIZE, 100); }),
                        command(VZMSG_DATA_FWUP_STATUS), command(VZMSG_DATA_FWUP_DATA)};
struct Misstep {
    const char *name;
    size_t before;
    Bytes request;
    uint32_t status; // after it
    uint32_t forced; // the status a fault puts it in as the request arrives; 0 none
};
const Misstep missteps[] = {
    {"size outside update mode", 0, before[1], 0},
    {"block before the size", 1, block(4), 1},
    {"write before the check", 2, command(VZMSG_DATA_FWUP_WRITE), 2},
    {"serial write in update mode", 1,
     request([](vzmsg_t *m) { vzmsg_add_str8(m, VZMSG_DATA_SERIAL_WRITE, "N", 1); }), 1},
    {"block beyond the offer", 4, block(11), VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE},
    {"size beyond its memory", 1,
     request([](vzmsg_t *m) { vzmsg_add_u32(m, VZMSG_DATA_FWUP_SIZE, 0xFFFFFFFF); }),
     VZMSG_DATA_FWUP_STATUS_ERROR},
    {"write of an image never received", 0, command(VZMSG_DATA_FWUP_WRITE), VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK,
     VZMSG_DATA_FWUP_STATUS_WRITE_READY},
};

} // namespace

class TestSimRecorder : public QObject
{
    Q_OBJECT

private slots:
    void imageCheck_data() { addRows(checks); }
    void imageCheck();
    void hostMistakes_data() { addRows(missteps); }
    void hostMistakes();
};

void TestSimRecorder::imageCheck()
{
    const Check &c = fetchCase(checks);
    std::vector<uint8_t> image = makeImage(c.payload, c.product);
    const uint32_t announced = uint32_t(image.size());
    for (int at : c.flipped)
        image[at < 0 ? image.size() - size_t(-at) : size_t(at)] ^= 0x10;
    image.resize(image.size() - c.cut);

    QCOMPARE(vzsim::checkImage(image, announced, c.expected), c.verdict);
}

void TestSimRecorder::hostMistakes()
{
    const Misstep &c = fetchCase(missteps);
    vzsim::RecorderConfig config;
    config.freeSpace = vzsim::FreeSpace::fixed(10);
    if (c.forced)
        config.faults.push_back(vzsim::Fault::error(VZMSG_DATA_FWUP_WRITE, c.forced));
    vzsim::Recorder recorder(config);
    for (size_t i = 0; i < c.before; ++i)
        recorder.receiveFromHost(before[i].data(), before[i].size());
    recorder.receiveFromHost(c.request.data(), c.request.size());
    QCOMPARE(recorder.protocolErrors(), uint64_t(1)); // the one above, none before
    QCOMPARE(recorder.status(), c.status);
    QVERIFY(recorder.receivedImage().empty());
    QCOMPARE(recorder.config().identity.serial, vzsim::Identity().serial);
}

QTEST_GUILESS_MAIN(TestSimRecorder)
#include "tst_sim_recorder.moc"
