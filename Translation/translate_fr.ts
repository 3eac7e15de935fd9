<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>Mise à jour terminée</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>Erreur de mise à jour</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Mise à jour en cours...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source> to </source>
        <translatorcomment>Joins two versions, e.g. &quot;V1.00&quot; + this + &quot;V1.02&quot;: in the update question after &quot;Update the firmware from &quot; and in parentheses inside the downgrade message.</translatorcomment>
        <translation> vers </translation>
    </message>
    <message>
        <source>?</source>
        <translatorcomment>Ends the update question: &quot;Update the firmware from &quot; + V1.00 + &quot; to &quot; + V1.02 + this.</translatorcomment>
        <translation>&#xa0;?</translation>
    </message>
    <message>
        <source>An error occurred while updating.</source>
        <translation>Une erreur s&apos;est produite pendant la mise à jour.</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>L&apos;appareil n&apos;a pas été reconnu.</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>N&apos;éteignez pas l&apos;appareil</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>Insérez des piles suffisamment chargées.</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>Veuillez connecter l&apos;appareil.</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>Veuillez vous connecter à Internet.</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>Veuillez réinstaller l&apos;application.</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>Veuillez utiliser le bon fichier.</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>Éteignez et rallumez l&apos;appareil, puis réessayez.</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>Lancer la mise à jour</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>Arrêtez l&apos;utilisation en tant que lecteur de carte SD.</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>Arrêtez l&apos;enregistrement et la lecture.</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>La dernière version du firmware est disponible pour la mise à jour.</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>Ce firmware ne peut pas être utilisé pour mettre à jour cet appareil.</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>Le firmware est à jour.</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>Mise à jour terminée</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>Mettre à jour le firmware de </translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>La mise à jour vers une version antérieure du firmware</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>Il n&apos;est pas possible de revenir à une version antérieure du firmware.</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>La mise à jour va commencer.</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Mise à jour en cours...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>pendant la mise à jour.</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation> n&apos;est pas possible.</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>À propos de cette application</translation>
    </message>
    <message>
        <source>App</source>
        <translation>Application</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Retour</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>Actuelle&#xa0;:</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>Téléchargée&#xa0;:</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>Version du firmware</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informations</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>Dernière&#xa0;:</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Licence</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Non</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>Notes de version</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>Mise à jour du firmware SORAVE Veldracorder Q7</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>Sélectionnez le fichier du firmware</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>N° de série</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Oui</translation>
    </message>
</context>
</TS>
