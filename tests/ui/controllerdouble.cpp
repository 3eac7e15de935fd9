#include "controllerdouble.h"

#include "qt_enum.h"

namespace
{

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

ControllerDouble::ControllerDouble(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < Qt_Enum::LABEL_NUM; ++i)
        m_label.append(QStringLiteral("---"));
}

void ControllerDouble::setLabel(int index, const QString &text)
{
    m_label[index] = text;
    emit changeLabel();
}

void ControllerDouble::record(const char *name, const QString &argument)
{
    calls.append(QStringLiteral("%1(%2)").arg(QLatin1String(name), argument));
}

void ControllerDouble::selectFirmware(QString path)
{
    record("selectFirmware", path);
}

void ControllerDouble::startUpdate(int mode)
{
    record("startUpdate", QString::number(mode));
}

void ControllerDouble::getFirmware()
{
    record("getFirmware");
}

void ControllerDouble::initialize()
{
    record("initialize");
}

void ControllerDouble::setProgress(int percent)
{
    record("setProgress", QString::number(percent));
}

void ControllerDouble::openLicensePage()
{
    record("openLicensePage");
}

void ControllerDouble::setLicenseEnable(bool enable)
{
    record("setLicenseEnable", boolText(enable));
}

void ControllerDouble::setPopupEnable(bool enable)
{
    record("setPopupEnable", boolText(enable));
}

void ControllerDouble::setError(bool enable)
{
    record("setError", boolText(enable));
}

void ControllerDouble::setCheck(bool enable)
{
    record("setCheck", boolText(enable));
}

void ControllerDouble::goLink(int type)
{
    record("goLink", QString::number(type));
}
