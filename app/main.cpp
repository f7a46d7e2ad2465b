#include "app/MainWindow.h"
#include "history/Workspace.h"
#include "store/DataFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane"));
    QStringList args = QApplication::arguments();
    const QString dataDir = DataFolder::takeOption(&args);

    Workspace workspace;
    QString error;
    workspace.open(dataDir, &error);
    MainWindow window(&workspace, error);
    window.showForScreen();
    return QApplication::exec();
}
