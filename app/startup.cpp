#include "startup.h"

#include <QCoreApplication>
#include <QDebug>
#include <QOpenGLContext>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QTranslator>
#include <QUrl>
#include <QtQml>

#include "qt_enum.h"

void chooseSceneGraph()
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        return;
    QOpenGLContext probe;
    if (!probe.create()) {
        qDebug() << "No OpenGL: drawing in software";
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    }
}

QUrl documentUrl()
{
    // Schemes are case-insensitive; tolerant parsing lower-cases it to "qrc".
    return QUrl(QStringLiteral("Qrc:/mainwindow.qml"), QUrl::TolerantMode);
}

bool installTranslation(QCoreApplication &app, QTranslator &translator, const QString &localeName)
{
    // The default search rules try "translate_de_CH.qm", then cut at "_" or
    // "." down to "translate_de.qm", so one catalog serves every territory.
    const bool loaded =
        translator.load(QStringLiteral("translate_") + localeName, QStringLiteral(":/Translation"));
    if (loaded) {
        app.installTranslator(&translator);
        qDebug("Translate: OK");
    } else {
        qDebug("Translate: NG");
    }
    qDebug() << translator.filePath();
    qDebug() << translator.language();
    return loaded;
}

void publishController(QQmlApplicationEngine &engine, QObject *controller)
{
    // The document reads all of these in its first evaluation, so they must
    // be in place before it is loaded.
    engine.rootContext()->setContextProperty(QStringLiteral("MainWindow"), controller);
    qmlRegisterType<Qt_Enum>("Qt_Enum", 1, 0, "Qt_Enum");
    engine.rootContext()->setContextProperty(QStringLiteral("isWindows"), true);
    engine.rootContext()->setContextProperty(QStringLiteral("isMac"), false);
}

void quitWhenDocumentFails(QQmlApplicationEngine &engine, const QUrl &url)
{
    // Queued: the engine announces the failure inside load(), before the
    // event loop runs, and an exit requested then would be forgotten.
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &engine,
        [url](QObject *object, const QUrl &objectUrl) {
            if (!object && url == objectUrl)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);
}
