#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ferrolyt");
    QMainWindow window;
    window.setWindowTitle("Ferrolyt");
    window.show();
    return app.exec();
}
