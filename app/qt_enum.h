/* The constants the user interface passes to and reads from the controller. */
#ifndef QT_ENUM_H
#define QT_ENUM_H

#include <QObject>

class Qt_Enum : public QObject
{
    Q_OBJECT
public:
    enum QT_LABEL {
        LABEL_ROM_VERSION = 0,
        LABEL_DEVICE_SERIALNO = 1,
        LABEL_DEVICE_VERSION = 2,
        LABEL_DEVICE_STATUS = 3,
        LABEL_FWUPDATE = 4,
        LABEL_POPUP = 5,
        LABEL_ERROR = 6,
        LABEL_CHECK = 7,
        LABEL_LICENSE = 8,
        LABEL_NUM = 9
    };
    Q_ENUM(QT_LABEL)

    enum QT_LINK { LINK_PRODUCT_HP = 0, LINK_RELEASE_NOTE = 1, LINK_NUM = 2 };
    Q_ENUM(QT_LINK)

    enum QT_UPDATE { UPDATE_CHECK = 0, UPDATE_CONFIRM = 1, UPDATE_START = 2, UPDATE_NUM = 3 };
    Q_ENUM(QT_UPDATE)
};

#endif
