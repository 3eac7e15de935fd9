<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>Update abgeschlossen</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>Update-Fehler</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Update läuft...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source> to </source>
        <translatorcomment>Joins two versions, e.g. &quot;V1.00&quot; + this + &quot;V1.02&quot;: in the update question after &quot;Update the firmware from &quot; and in parentheses inside the downgrade message.</translatorcomment>
        <translation> auf </translation>
    </message>
    <message>
        <source>?</source>
        <translatorcomment>Ends the update question: &quot;Update the firmware from &quot; + V1.00 + &quot; to &quot; + V1.02 + this.</translatorcomment>
        <translation> aktualisieren?</translation>
    </message>
    <message>
        <source>An error occurred while updating.</source>
        <translation>Beim Update ist ein Fehler aufgetreten.</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>Das Gerät wurde nicht erkannt.</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>Schalten Sie das Gerät</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>Setzen Sie ausreichend geladene Batterien ein.</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>Bitte schließen Sie das Gerät an.</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>Bitte stellen Sie eine Verbindung zum Internet her.</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>Bitte installieren Sie die App neu.</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>Bitte verwenden Sie die richtige Datei.</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>Schalten Sie das Gerät aus und wieder ein und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>Update starten</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>Beenden Sie den Betrieb als SD-Kartenleser.</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>Beenden Sie die Aufnahme und Wiedergabe.</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>Die neueste Firmware kann installiert werden.</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>Mit dieser Firmware kann dieses Gerät nicht aktualisiert werden.</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>Die Firmware ist auf dem neuesten Stand.</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>Update abgeschlossen</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>Firmware von </translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>Ein Update auf eine ältere Firmware-Version</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>Ein Update auf eine ältere Firmware-Version ist nicht möglich.</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>Das Update wird jetzt gestartet.</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Update läuft...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>während des Updates nicht aus.</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation> ist nicht möglich.</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>Über diese App</translation>
    </message>
    <message>
        <source>App</source>
        <translation>App</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>Aktuell:</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>Download:</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>Firmware-Version</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informationen</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>Neueste:</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Lizenz</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>Versionshinweise</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>SORAVE Veldracorder Q7 Firmware-Updater</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>Firmware-Datei auswählen</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Seriennummer</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
</context>
</TS>
