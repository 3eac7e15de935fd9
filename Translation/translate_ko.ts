<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ko_KR" sourcelanguage="en_US">
<context>
    <name>FWUpdateWorker</name>
    <message>
        <source>Update complete</source>
        <translation>업데이트가 완료되었습니다</translation>
    </message>
    <message>
        <source>Update error</source>
        <translation>업데이트 오류</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>업데이트 중...</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source> to </source>
        <translatorcomment>Joins two versions, e.g. &quot;V1.00&quot; + this + &quot;V1.02&quot;: in the update question after &quot;Update the firmware from &quot; and in parentheses inside the downgrade message.</translatorcomment>
        <translation>에서 </translation>
    </message>
    <message>
        <source>?</source>
        <translatorcomment>Ends the update question: &quot;Update the firmware from &quot; + V1.00 + &quot; to &quot; + V1.02 + this.</translatorcomment>
        <translation> 버전으로 업데이트하시겠습니까?</translation>
    </message>
    <message>
        <source>An error occurred while updating.</source>
        <translation>업데이트 중 오류가 발생했습니다.</translation>
    </message>
    <message>
        <source>Device recognition failed.</source>
        <translation>기기를 인식하지 못했습니다.</translation>
    </message>
    <message>
        <source>Do not turn off the unit&apos;s power</source>
        <translatorcomment>Second line of a three-line warning; the third line is &quot;during the update.&quot;. Where the language puts &quot;during the update&quot; first, the two lines may swap their content.</translatorcomment>
        <translation>업데이트 중에는</translation>
    </message>
    <message>
        <source>Install batteries that have enough remaining charge.</source>
        <translation>잔량이 충분한 배터리를 넣어 주십시오.</translation>
    </message>
    <message>
        <source>Please connect the device.</source>
        <translation>기기를 연결해 주십시오.</translation>
    </message>
    <message>
        <source>Please connect to the Internet.</source>
        <translation>인터넷에 연결해 주십시오.</translation>
    </message>
    <message>
        <source>Please reinstall the app.</source>
        <translation>앱을 다시 설치해 주십시오.</translation>
    </message>
    <message>
        <source>Please use the correct file.</source>
        <translation>올바른 파일을 사용해 주십시오.</translation>
    </message>
    <message>
        <source>Restart the device&apos;s power once and try again.</source>
        <translation>기기의 전원을 껐다가 다시 켠 후 다시 시도해 주십시오.</translation>
    </message>
    <message>
        <source>Start updating</source>
        <translation>업데이트 시작</translation>
    </message>
    <message>
        <source>Stop operation as an SD card reader.</source>
        <translation>SD 카드 리더 동작을 종료해 주십시오.</translation>
    </message>
    <message>
        <source>Stop recording and playback.</source>
        <translation>녹음 및 재생을 정지해 주십시오.</translation>
    </message>
    <message>
        <source>The latest firmware is available for update.</source>
        <translation>최신 펌웨어로 업데이트할 수 있습니다.</translation>
    </message>
    <message>
        <source>This firmware cannot be used to update this device.</source>
        <translation>이 펌웨어로는 이 기기를 업데이트할 수 없습니다.</translation>
    </message>
    <message>
        <source>This is the latest firmware.</source>
        <translation>최신 펌웨어입니다.</translation>
    </message>
    <message>
        <source>Update complete</source>
        <translation>업데이트가 완료되었습니다</translation>
    </message>
    <message>
        <source>Update the firmware from </source>
        <translatorcomment>Starts the update question: this + V1.00 + &quot; to &quot; + V1.02 + &quot;?&quot;.</translatorcomment>
        <translation>펌웨어를 </translation>
    </message>
    <message>
        <source>Updating to an older firmware version</source>
        <translatorcomment>Starts the downgrade message: this + a line break + &quot;(V1.02&quot; + &quot; to &quot; + &quot;V1.01)&quot; + &quot;is not possible.&quot;.</translatorcomment>
        <translation>이전 버전의 펌웨어로는</translation>
    </message>
    <message>
        <source>Updating to an older firmware version is not possible.</source>
        <translation>이전 버전의 펌웨어로는 업데이트할 수 없습니다.</translation>
    </message>
    <message>
        <source>Updating will start.</source>
        <translation>업데이트를 시작합니다.</translation>
    </message>
    <message>
        <source>Updating...</source>
        <translation>업데이트 중...</translation>
    </message>
    <message>
        <source>during the update.</source>
        <translatorcomment>Third line of the warning that starts with &quot;Updating will start.&quot; and &quot;Do not turn off the unit&apos;s power&quot;.</translatorcomment>
        <translation>기기의 전원을 끄지 마십시오.</translation>
    </message>
    <message>
        <source>is not possible.</source>
        <translatorcomment>Ends the downgrade message right after &quot;(V1.02 to V1.01)&quot;; nothing separates the two, so start with a blank where the language needs one.</translatorcomment>
        <translation> 업데이트할 수 없습니다.</translation>
    </message>
</context>
<context>
    <name>mainwindow</name>
    <message>
        <source>About this app</source>
        <translation>앱 정보</translation>
    </message>
    <message>
        <source>App</source>
        <translation>앱</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>뒤로</translation>
    </message>
    <message>
        <source>Close</source>
        <translatorcomment>Menu entry that quits the application.</translatorcomment>
        <translation>종료</translation>
    </message>
    <message>
        <source>Current:</source>
        <translatorcomment>Caption of the recorder&apos;s firmware version; at most 115 pixels wide.</translatorcomment>
        <translation>현재:</translation>
    </message>
    <message>
        <source>Downloaded:</source>
        <translatorcomment>Caption of the version of a firmware file already on this computer; at most 115 pixels wide.</translatorcomment>
        <translation>다운로드됨:</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>오류</translation>
    </message>
    <message>
        <source>Firmware Version</source>
        <translation>펌웨어 버전</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>도움말</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>정보</translation>
    </message>
    <message>
        <source>Latest:</source>
        <translatorcomment>Caption of the newest firmware version announced online; at most 115 pixels wide.</translatorcomment>
        <translation>최신:</translation>
    </message>
    <message>
        <source>License</source>
        <translation>라이선스</translation>
    </message>
    <message>
        <source>No</source>
        <translation>아니요</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>확인</translation>
    </message>
    <message>
        <source>Release notes</source>
        <translation>릴리스 노트</translation>
    </message>
    <message>
        <source>SORAVE Veldracorder Q7 Firmware Updater</source>
        <translation>SORAVE Veldracorder Q7 펌웨어 업데이터</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>펌웨어 파일 선택</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>일련번호</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>예</translation>
    </message>
</context>
</TS>
