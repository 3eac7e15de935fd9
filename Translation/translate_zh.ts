<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>更新已完成</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>更新失败</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>正在更新...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source> to </source>
        <translatorcomment>Joins two versions, e.g. &quot;V1.00&quot; + this + &quot;V1.02&quot;: in the update question after &quot;Update the firmware from &quot; and in parentheses inside the downgrade message.</translatorcomment>
        <translation> → </translation>
    </message>
    <message>
        <source>?</source>
        <translatorcomment>Ends the update question: &quot;Update the firmware from &quot; + V1.00 + &quot; to &quot; + V1.02 + this.</translatorcomment>
        <translation>)？</translation>
    </message>
    <message>
        <source>An error occurred while updating.</source>
        <translation>更新过程中发生错误。</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>无法识别设备。</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>更新过程中</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>请装入电量充足的电池。</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>请连接设备。</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>请连接到互联网。</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>请重新安装本应用。</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>请使用正确的文件。</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>请将设备关机后重新开机，然后重试。</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>开始更新</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>请停止将本机用作 SD 读卡器。</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>请停止录音和播放。</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>可以更新到最新固件。</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>此固件不能用于更新本设备。</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>已是最新固件。</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>更新已完成</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>是否更新固件 (</translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>更新到旧版本的固件</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>无法更新到旧版本的固件。</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>即将开始更新。</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>正在更新...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>请勿关闭本机电源。</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation>无法进行。</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>关于本应用</translation>
    </message>
    <message>
        <source>App</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>退出</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>当前：</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>已下载：</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>信息</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>最新：</translation>
    </message>
    <message>
        <source>License</source>
        <translation>许可证</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>发行说明</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>SORAVE Veldracorder Q7 固件更新程序</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>选择固件文件</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>序列号</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
</context>
</TS>
