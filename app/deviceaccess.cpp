#include "deviceaccess.h"

#include "vzdevice.h"
#include "vzmsg_check.h"

DeviceAccess::DeviceAccess(VzDevice &device) : vz(device)
{
    qRegisterMetaType<RecorderPoll>();
    qRegisterMetaType<RecorderCheck>();
}

void DeviceAccess::poll()
{
    RecorderPoll result;
    if (!vz.select_default()) {
        emit polled(result);
        return;
    }
    if (!vz.get_version_info()) {
        /* Closed, so that the recorder is opened afresh when it comes back. */
        vz.close();
        result.outcome = RecorderPoll::Lost;
        emit polled(result);
        return;
    }
    std::string serial;
    if (vz.get_serial_info() && vz.get_serial(serial) && vz.get_battery_info() &&
        vz.get_battery(&result.battery) && vz.get_version(&result.version) && vz.get_build(&result.build)) {
        result.outcome = RecorderPoll::Answered;
        result.serial = QString::fromUtf8(serial.data(), static_cast<int>(serial.size()));
    }
    emit polled(result);
}

void DeviceAccess::checkRecorder()
{
    RecorderCheck result;
    const char *&failure = result.failure;
    quint16 protocol = 0;
    quint16 battery = 0;
    if (!vz.select_default())
        failure = "error: !vz.select_default";
    else if (!vz.get_protocol_info())
        failure = "error: !vz.get_protocol_info";
    else if (vz.get_protocol(&protocol) && vzmsg_check_protocol(protocol))
        failure = "error: protocol vesion";
    else if (!vz.get_version_info())
        failure = "error: !vz.get_version_info";
    else if (!vz.get_battery_info())
        failure = "error: !vz.get_battery_info";
    else if (vz.get_battery(&battery) && vzmsg_check_battery(battery)) {
        failure = "error: no battery";
        result.noBattery = true;
    } else if (!vz.get_product(result.product))
        failure = "error: !vz.get_product";
    else if (!vz.get_version(&result.version))
        failure = "error: !vz.get_version";
    else if (!vz.get_build(&result.build))
        failure = "error: !vz.get_build";
    emit checked(result);
}
