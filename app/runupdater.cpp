#include "runupdater.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QQmlApplicationEngine>
#include <QTranslator>
#include <QUrl>

#include "loghandler.h"
#include "mainwindow.h"
#include "startup.h"

int runUpdater(QGuiApplication &app, const QUrl &document)
{
    QCoreApplication::setOrganizationName(QStringLiteral("somename"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("somename"));
    qInstallMessageHandler(logMessageHandler);
    qDebug("APP OPEN");

    // Installed before the controller exists, so that its first texts are
    // already in the user's language.
    QTranslator translator;
    installTranslation(app, translator, QLocale::system().name());

    // Declared in this order so that they are destroyed the other way round:
    // the controller first (it logs "APP CLOSE"), then the engine.
    QQmlApplicationEngine engine;
    MainWindow controller;
    publishController(engine, &controller);
    quitWhenDocumentFails(engine, document);
    engine.load(document);
    return app.exec();
}
