#include <QCoreApplication>
#include <QGuiApplication>
#include <QUrl>

#include "runupdater.h"
#include "startup.h"

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    chooseSceneGraph();
    return runUpdater(app, documentUrl());
}
