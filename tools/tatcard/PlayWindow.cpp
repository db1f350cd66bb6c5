#include "PlayWindow.h"

#include "ui/widgets/PictureWidget.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QWidget>

#include <thread>

int RunWithPlayWindow(int width, int height,
                      const std::function<int(VPictureArea* front, VPictureArea* rear)>& play) {
    int argc = 1;
    char name[] = "tatcard";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("tatcard play"));
    window.setStyleSheet(QStringLiteral("background: black;"));
    auto* layout = new QHBoxLayout(&window);
    auto* front = new PictureWidget(&window);
    auto* rear = new PictureWidget(&window);
    front->setFixedSize(width, height);
    rear->setFixedSize(width / 2, height / 2);
    layout->addWidget(front, 0, Qt::AlignTop);
    layout->addWidget(rear, 0, Qt::AlignTop);
    window.show();
    front->SyncSize();
    rear->SyncSize();
    int result = 0;
    std::thread player([&] {
        result = play(front, rear);
        QMetaObject::invokeMethod(&application, &QApplication::quit, Qt::QueuedConnection);
    });
    QApplication::exec();
    player.join();
    return result;
}
