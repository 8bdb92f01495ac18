// A bare Qt window of the main window's size; says "shown" at its first paint.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

class Window : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        std::puts("shown");
        std::fflush(stdout);
        std::_Exit(0);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Window window;
    window.setGeometry(200, 160, 400, 400);
    window.show();
    return app.exec();
}
