<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>アップデートが完了しました</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>アップデートエラー</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>アップデート中...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source> to </source>
        <translatorcomment>Joins two versions, e.g. &quot;V1.00&quot; + this + &quot;V1.02&quot;: in the update question after &quot;Update the firmware from &quot; and in parentheses inside the downgrade message.</translatorcomment>
        <translation>から</translation>
    </message>
    <message>
        <source>?</source>
        <translatorcomment>Ends the update question: &quot;Update the firmware from &quot; + V1.00 + &quot; to &quot; + V1.02 + this.</translatorcomment>
        <translation>にアップデートしますか？</translation>
    </message>
    <message>
        <source>An error occurred while updating.</source>
        <translation>アップデート中にエラーが発生しました。</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>本体を認識できませんでした。</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>アップデート中は</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>残量が十分な電池を入れてください。</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>本体を接続してください。</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>インターネットに接続してください。</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>アプリを再インストールしてください。</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>正しいファイルを使用してください。</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>本体の電源を入れ直してから、再度お試しください。</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>アップデート開始</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>SDカードリーダーとしての動作を終了してください。</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>録音・再生を停止してください。</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>最新のファームウェアにアップデートできます。</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>このファームウェアは本機のアップデートには使用できません。</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>最新のファームウェアです。</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>アップデートが完了しました</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>ファームウェアを</translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>古いバージョンのファームウェアへのアップデート</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>古いバージョンのファームウェアへのアップデートはできません。</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>アップデートを開始します。</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>アップデート中...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>本体の電源を切らないでください。</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation>はできません。</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>このアプリについて</translation>
    </message>
    <message>
        <source>App</source>
        <translation>アプリ</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>戻る</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>終了</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>現在：</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>ダウンロード済：</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>ファームウェアバージョン</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>ヘルプ</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>インフォメーション</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>最新：</translation>
    </message>
    <message>
        <source>License</source>
        <translation>ライセンス</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>リリースノート</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>SORAVE Veldracorder Q7 ファームウェアアップデーター</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>ファームウェアファイルを選択</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>シリアル番号</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
</context>
</TS>
