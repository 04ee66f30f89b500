// The yardstick of first_window_bench: the least a Qt Widgets program does to show one
// 800 x 600 window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QWidget window;
    window.resize(800, 600);
    window.show();
    return application.exec();
}
