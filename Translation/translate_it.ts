<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>Aggiornamento completato</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>Errore di aggiornamento</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Aggiornamento in corso...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source> to </source>
        <translatorcomment>Joins two versions, e.g. &quot;V1.00&quot; + this + &quot;V1.02&quot;: in the update question after &quot;Update the firmware from &quot; and in parentheses inside the downgrade message.</translatorcomment>
        <translation> a </translation>
    </message>
    <message>
        <source>?</source>
        <translatorcomment>Ends the update question: &quot;Update the firmware from &quot; + V1.00 + &quot; to &quot; + V1.02 + this.</translatorcomment>
        <translation>?</translation>
    </message>
    <message>
        <source>An error occurred while updating.</source>
        <translation>Si è verificato un errore durante l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>Impossibile riconoscere il dispositivo.</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>Non spegnere l&apos;unità</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>Inserire batterie con carica sufficiente.</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>Collegare il dispositivo.</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>Connettersi a Internet.</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>Reinstallare l&apos;app.</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>Utilizzare il file corretto.</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>Spegnere e riaccendere il dispositivo, quindi riprovare.</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>Avvia aggiornamento</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>Interrompere l&apos;uso come lettore di schede SD.</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>Interrompere la registrazione e la riproduzione.</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>È disponibile l&apos;aggiornamento al firmware più recente.</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>Questo firmware non può essere utilizzato per aggiornare questo dispositivo.</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>Il firmware è già aggiornato all&apos;ultima versione.</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>Aggiornamento completato</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>Aggiornare il firmware da </translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>L&apos;aggiornamento a una versione precedente del firmware</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>Non è possibile aggiornare a una versione precedente del firmware.</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>L&apos;aggiornamento sta per iniziare.</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Aggiornamento in corso...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>durante l&apos;aggiornamento.</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation> non è possibile.</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>Informazioni su questa app</translation>
    </message>
    <message>
        <source>App</source>
        <translation>App</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Indietro</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>Esci</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>Attuale:</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>Scaricata:</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>Versione firmware</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aiuto</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informazioni</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>Più recente:</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Licenza</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>Note di rilascio</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>Aggiornamento firmware SORAVE Veldracorder Q7</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>Selezionare il file del firmware</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Numero di serie</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sì</translation>
    </message>
</context>
</TS>
