<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>Actualización completada</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>Error de actualización</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Actualizando...</translation>
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
        <translation>Se ha producido un error durante la actualización.</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>No se ha podido reconocer el dispositivo.</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>No apague la unidad</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>Coloque pilas con suficiente carga.</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>Conecte el dispositivo.</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>Conéctese a Internet.</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>Vuelva a instalar la aplicación.</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>Utilice el archivo correcto.</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>Apague y vuelva a encender el dispositivo e inténtelo de nuevo.</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>Iniciar actualización</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>Detenga el funcionamiento como lector de tarjetas SD.</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>Detenga la grabación y la reproducción.</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>Ya puede actualizar a la última versión del firmware.</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>Este firmware no se puede utilizar para actualizar este dispositivo.</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>El firmware ya está en su versión más reciente.</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>Actualización completada</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>¿Actualizar el firmware de </translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>La actualización a una versión anterior del firmware</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>No es posible actualizar a una versión anterior del firmware.</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>Se iniciará la actualización.</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>Actualizando...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>durante la actualización.</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation> no es posible.</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>Acerca de esta aplicación</translation>
    </message>
    <message>
        <source>App</source>
        <translation>Aplicación</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Volver</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>Actual:</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>Descargada:</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>Versión del firmware</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ayuda</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Información</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>Más reciente:</translation>
    </message>
    <message>
        <source>License</source>
        <translation>Licencia</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>Notas de la versión</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>Actualizador de firmware de SORAVE Veldracorder Q7</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>Seleccione el archivo de firmware</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>N.º de serie</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sí</translation>
    </message>
</context>
</TS>
