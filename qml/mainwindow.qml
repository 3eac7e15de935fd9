import QtQuick 2.12
import QtQuick.Window 2.12
import QtQuick.Controls 2.5
import QtQuick.Dialogs 1.2
import Qt_Enum 1.0

// The updater's one window. Everything it shows comes from the controller published as
// "MainWindow": texts from its label list, visibility from its flags; every action is a call of
// one of its invokables. Nothing here decides anything beyond what to show.
ApplicationWindow {
    id: window
    objectName: "mainWindow"

    // Lengths are written for a 495 x 400 window and scaled by pt, so that the layout keeps its
    // proportions should the window ever be given another size.
    readonly property real baseHeight: height
    readonly property real appWidth: width * 400 > baseHeight * 495 ? baseHeight * 495 / 400 : width
    readonly property real appHeight: appWidth * 400 / 495
    readonly property real pt: appWidth / 495

    readonly property color panelGrey: "#353535"
    readonly property color accentBlue: "#0092E5"
    readonly property color textWhite: "#FFFFFF"
    readonly property color disabledText: "#969696"
    readonly property color popupText: "#606060"
    readonly property color popupButton: "#C1C1C1"
    readonly property color buttonText: "#353535"
    readonly property color black: "#000000"
    readonly property color divider: "#808080"

    // The controller goes before this document when the program closes; until the document
    // follows, the bindings read a closed stand-in instead of null.
    readonly property QtObject controller: MainWindow ? MainWindow : closedController
    QtObject {
        id: closedController
        readonly property var label: ["", "", "", "", "", "", "", "", ""]
        readonly property int progress: 0
        readonly property bool web: false
        readonly property bool update: false
        readonly property bool updating: false
        readonly property bool downloaded: false
        readonly property bool license: false
        readonly property bool popup: false
        readonly property bool error: false
        readonly property bool check: false
    }

    // While anything modal is on screen the links stop reacting to the pointer.
    readonly property bool linksHoverable: !(controller.popup || controller.error || controller.check
                                             || controller.updating)

    // The menu bar takes 40 pixels; the rest is exactly the background photograph.
    width: 495
    height: 360 + 40
    minimumWidth: 495
    minimumHeight: 400
    maximumWidth: width
    maximumHeight: height
    color: "#4D4D4D"
    flags: Qt.Dialog | Qt.CustomizeWindowHint | Qt.WindowTitleHint | Qt.WindowCloseButtonHint
           | Qt.WindowMinimizeButtonHint
    title: isMac ? qsTr("Veldracorder Q7 Firmware Updater") : qsTr("SORAVE Veldracorder Q7 Firmware Updater")
    visible: true

    // A link over a logo or a caption: clickable only once update information has arrived, with
    // a hovered flag that only follows the pointer while nothing modal is shown.
    component LinkArea: MouseArea {
        property int target
        property bool hovered: false

        anchors.fill: parent
        acceptedButtons: controller.web ? Qt.LeftButton : Qt.NoButton
        hoverEnabled: window.linksHoverable
        cursorShape: hovered ? Qt.PointingHandCursor : Qt.ArrowCursor
        onEntered: hovered = true
        onExited: hovered = false
        onClicked: controller.goLink(target)
    }

    component PopupButton: Rectangle {
        property alias text: caption.text
        signal clicked

        width: 100 * pt
        height: 40 * pt
        radius: 5 * pt
        color: popupButton

        Text {
            id: caption
            anchors.centerIn: parent
            color: buttonText
            font.pixelSize: 14 * pt
            font.weight: Font.Medium
        }
        MouseArea {
            anchors.fill: parent
            onClicked: parent.clicked()
        }
    }

    component WhiteText: Text {
        color: textWhite
        font.pixelSize: 13 * pt
        font.weight: Font.Medium
    }

    menuBar: MenuBar {
        objectName: "menuBar"
        Menu {
            objectName: "appMenu"
            title: qsTr("App")
            MenuItem {
                objectName: "closeItem"
                text: qsTr("Close")
                onTriggered: Qt.quit()
            }
        }
        Menu {
            objectName: "helpMenu"
            title: qsTr("Help")
            MenuItem {
                objectName: "aboutItem"
                text: qsTr("About this app")
                onTriggered: aboutWindow.show()
            }
            MenuSeparator {}
            MenuItem {
                objectName: "licenseItem"
                text: qsTr("License")
                onTriggered: controller.openLicensePage()
            }
        }
    }

    Image {
        objectName: "background"
        source: "qrc:/res/bg.png"
    }

    Rectangle {
        id: informationBox
        objectName: "informationBox"
        x: 207 * pt
        y: 64 * pt
        width: 250 * pt
        height: 90 * pt
        radius: 4 * pt
        color: panelGrey

        WhiteText {
            id: informationTitle
            objectName: "informationTitle"
            x: 14 * pt
            y: 12 * pt
            font.pixelSize: 15 * pt
            text: qsTr("Information")
        }
        WhiteText {
            objectName: "statusText"
            x: informationTitle.x
            y: 36 * pt
            width: informationBox.width - 28 * pt
            wrapMode: Text.Wrap
            text: controller.label[Qt_Enum.LABEL_DEVICE_STATUS]
        }
    }

    WhiteText {
        id: versionHeading
        x: 227 * pt
        y: 169 * pt
        font.pixelSize: 15 * pt
        text: qsTr("Firmware Version")
    }
    WhiteText {
        id: currentCaption
        x: versionHeading.x
        y: 193 * pt
        text: qsTr("Current:")
    }
    WhiteText {
        id: currentVersion
        objectName: "currentVersion"
        x: currentCaption.x + 115 * pt
        y: currentCaption.y
        text: controller.label[Qt_Enum.LABEL_DEVICE_VERSION]
    }
    WhiteText {
        id: latestCaption
        objectName: "latestCaption"
        x: versionHeading.x
        y: 212 * pt
        text: controller.web ? qsTr("Latest:") : qsTr("Downloaded:")
    }
    WhiteText {
        objectName: "latestVersion"
        x: currentVersion.x
        y: latestCaption.y
        text: controller.label[Qt_Enum.LABEL_ROM_VERSION]
    }
    WhiteText {
        objectName: "releaseNotes"
        anchors.right: parent.right
        anchors.rightMargin: 57 * pt
        y: 234 * pt
        width: 130 * pt
        height: 17 * pt
        color: accentBlue
        font.underline: true
        horizontalAlignment: Text.AlignRight
        text: qsTr("Release notes")

        LinkArea {
            objectName: "releaseNotesLink"
            target: Qt_Enum.LINK_RELEASE_NOTE
        }
    }

    WhiteText {
        objectName: "serialCaption"
        x: 56 * pt
        y: 275 * pt
        width: 100 * pt
        height: 17 * pt
        opacity: 0.6
        horizontalAlignment: Text.AlignHCenter
        text: qsTr("Serial number")
    }
    WhiteText {
        objectName: "serialNumber"
        x: 56 * pt
        y: 294 * pt
        width: 100 * pt
        height: 17 * pt
        horizontalAlignment: Text.AlignHCenter
        text: controller.label[Qt_Enum.LABEL_DEVICE_SERIALNO]
    }

    Rectangle {
        id: updateButton
        objectName: "updateButton"
        x: informationBox.x
        y: 265 * pt
        width: informationBox.width
        height: 55 * pt
        radius: 4 * pt
        visible: !controller.updating
        color: controller.update ? accentBlue : panelGrey

        WhiteText {
            objectName: "updateCaption"
            anchors.centerIn: parent
            font.pixelSize: 15 * pt
            color: controller.update ? textWhite : disabledText
            text: controller.label[Qt_Enum.LABEL_FWUPDATE]
        }
        MouseArea {
            objectName: "updateButtonArea"
            anchors.fill: parent
            enabled: controller.update
            // Firmware announced online or already loaded: go straight to the confirmation;
            // otherwise the user has to pick a file first.
            onClicked: {
                if (controller.web || controller.downloaded)
                    controller.startUpdate(Qt_Enum.UPDATE_CHECK)
                else
                    fileDialog.open()
            }
        }
    }

    Rectangle {
        id: progressBar
        objectName: "progressBar"
        x: updateButton.x
        y: updateButton.y
        width: updateButton.width
        height: updateButton.height
        radius: 3 * pt
        visible: controller.updating
        color: black
        border.color: textWhite
        border.width: 1 * pt

        Rectangle {
            objectName: "progressFill"
            x: 2 * pt
            y: 2 * pt
            height: progressBar.height - 4 * pt
            width: (progressBar.width - 4 * pt) * controller.progress / 100
            radius: 2 * pt
            color: accentBlue
        }
    }
    WhiteText {
        objectName: "percentText"
        anchors.right: parent.right
        anchors.rightMargin: 147 * pt
        y: 323 * pt
        font.pixelSize: 12 * pt
        visible: controller.updating
        text: controller.progress + "%"
    }

    Rectangle {
        objectName: "licenseView"
        anchors.fill: parent
        visible: controller.license
        color: black

        Item {
            objectName: "backControl"
            x: 13 * pt
            y: 9 * pt
            width: 47
            height: 14

            Image {
                y: 2 * pt
                source: "qrc:/res/sankaku.png"
            }
            WhiteText {
                x: 16 * pt
                font.pixelSize: 12 * pt
                text: qsTr("Back")
            }
            MouseArea {
                anchors.fill: parent
                onClicked: controller.setLicenseEnable(false)
            }
        }
        Rectangle {
            y: 30 * pt
            width: parent.width
            height: 1 * pt
            color: divider
        }
        ScrollView {
            objectName: "licenseScroll"
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            width: parent.width - 29 * pt
            height: 280
            ScrollBar.horizontal.policy: ScrollBar.AlwaysOff
            ScrollBar.vertical.policy: ScrollBar.AlwaysOn

            TextArea {
                objectName: "licenseText"
                color: textWhite
                font.pixelSize: 12 * pt
                font.weight: Font.Normal
                wrapMode: TextEdit.Wrap
                text: controller.label[Qt_Enum.LABEL_LICENSE]
            }
        }
    }

    // The logos stay visible over the licence view, moved below its back control.
    Image {
        objectName: "brandLogo"
        x: 13 * pt
        y: (controller.license ? 46 : 13) * pt
        source: "qrc:/res/sorave.png"
    }
    Image {
        objectName: "productLogo"
        x: 347 * pt
        y: (controller.license ? 46 : 13) * pt
        source: "qrc:/res/veldracorderq7.png"

        LinkArea {
            objectName: "productLink"
            target: Qt_Enum.LINK_PRODUCT_HP
        }
    }

    Rectangle {
        objectName: "mask"
        anchors.fill: parent
        visible: controller.popup || controller.error || controller.check
        color: black
        opacity: 0.7

        // Swallows every press, release, wheel turn and hover so nothing underneath reacts.
        MouseArea {
            anchors.fill: parent
            acceptedButtons: Qt.AllButtons
            hoverEnabled: true
            onWheel: wheel.accepted = true
        }
    }

    Rectangle {
        objectName: "questionPopup"
        anchors.centerIn: parent
        width: 400 * pt
        height: Math.min(400 * pt, questionText.height + 100 * pt)
        radius: 5 * pt
        border.width: 2 * pt
        visible: controller.popup

        Item {
            anchors.top: parent.top
            anchors.horizontalCenter: parent.horizontalCenter
            width: 350 * pt
            height: parent.height - 80 * pt
            clip: true

            Text {
                id: questionText
                objectName: "questionText"
                y: 20 * pt
                width: parent.width
                color: popupText
                font.pixelSize: 15 * pt
                font.weight: Font.Medium
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignTop
                text: controller.label[Qt_Enum.LABEL_POPUP]
            }
        }
        PopupButton {
            objectName: "yesButton"
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 20 * pt
            anchors.right: parent.horizontalCenter
            anchors.rightMargin: 20 * pt
            text: qsTr("Yes")
            onClicked: controller.setPopupEnable(true)
        }
        PopupButton {
            objectName: "noButton"
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 20 * pt
            anchors.left: parent.horizontalCenter
            anchors.leftMargin: 20 * pt
            text: qsTr("No")
            onClicked: controller.setPopupEnable(false)
        }
    }

    // One pop-up for errors and information; an error wins when both are raised.
    Rectangle {
        objectName: "messagePopup"
        anchors.centerIn: parent
        width: 400 * pt
        height: Math.min(400 * pt, messageText.height + (controller.error ? 160 : 120) * pt)
        radius: 5 * pt
        border.width: 2 * pt
        visible: controller.error || controller.check

        Item {
            anchors.top: parent.top
            anchors.horizontalCenter: parent.horizontalCenter
            width: 380 * pt
            height: parent.height - 80 * pt
            clip: true

            Text {
                objectName: "errorTitle"
                width: parent.width
                height: 70 * pt
                visible: controller.error
                color: popupText
                font.pixelSize: 15 * pt
                font.weight: Font.Medium
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                text: qsTr("Error")
            }
            Text {
                id: messageText
                objectName: "messageText"
                y: (controller.error ? 70 : 30) * pt
                width: parent.width
                color: popupText
                font.pixelSize: 15 * pt
                font.weight: Font.Medium
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignTop
                text: controller.error ? controller.label[Qt_Enum.LABEL_ERROR] : controller.label[Qt_Enum.LABEL_CHECK]
            }
        }
        PopupButton {
            objectName: "okButton"
            anchors.bottom: parent.bottom
            anchors.bottomMargin: 20 * pt
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("OK")
            onClicked: {
                if (controller.error)
                    controller.setError(false)
                else
                    controller.setCheck(false)
            }
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "fileDialog"
        title: qsTr("Select the firmware file")
        folder: shortcuts.desktop
        selectExisting: true
        selectMultiple: false
        selectFolder: false
        onAccepted: controller.selectFirmware(fileUrl.toString())
    }

    Window {
        id: aboutWindow
        objectName: "aboutWindow"
        title: qsTr("About this app")
        width: 437
        height: 171
        minimumWidth: width
        maximumWidth: width
        minimumHeight: height
        maximumHeight: height
        modality: Qt.ApplicationModal
        color: "black"
        visible: false

        Image {
            id: aboutIcon
            x: 44 * pt
            y: 44 * pt
            width: 80
            height: 80
            source: "qrc:/res/icon-80.png"
        }
        Text {
            id: brandLine
            x: 155 * pt
            y: 45 * pt
            color: "white"
            font.pixelSize: 15 * pt
            wrapMode: Text.Wrap
            text: "SORAVE"
        }
        Text {
            id: nameLine
            anchors.top: brandLine.bottom
            anchors.left: brandLine.left
            color: "white"
            font.pixelSize: 15 * pt
            text: "Veldracorder Q7 Firmware Updater"
        }
        Text {
            objectName: "versionLine"
            y: 91 * pt
            anchors.right: nameLine.right
            horizontalAlignment: Text.AlignRight
            color: "white"
            font.pixelSize: 15 * pt
            text: "Software Version: V1.00"
        }
        Text {
            objectName: "noticeLine"
            y: aboutIcon.y + aboutIcon.height + 10 * pt
            anchors.right: nameLine.right
            horizontalAlignment: Text.AlignRight
            color: "white"
            font.pixelSize: 10 * pt
            text: "Copyright \u00A9 SORAVE Corporation. All rights reserved."
        }
    }
}
