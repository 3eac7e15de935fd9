import QtQuick 2.12
import QtQuick.Window 2.12

// A document that cannot be created: the property below has no value.
Window {
    visible: true
    width:
}
