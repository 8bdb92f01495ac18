#include "core/app.h"

#include <QApplication>
#include <QCursor>
#include <QFont>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/log.h"
#include "core/platform.h"
#include "core/product.h"
#include "desktop/identity.h"

namespace winshim {
namespace {
int g_argc = 1;
std::array<char, sizeof PRODUCT_NAME> g_arg0 = PRODUCT_FOLDER;
char* g_argv[] = {g_arg0.data(), nullptr};

int g_mouseDepth = 0;
QPoint g_mousePos;

class ShimApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            QPoint saved = g_mousePos;
            g_mousePos = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            ++g_mouseDepth;
            bool result = QApplication::notify(receiver, event);
            --g_mouseDepth;
            g_mousePos = saved;
            return result;
        }
        default:
            return QApplication::notify(receiver, event);
        }
    }
};
}  // namespace

QApplication* APP_Ensure() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
    std::string why;
    const std::string platform = PLATFORM_Choose(why);
    if (platform.empty()) {
        // Qt would abort here; a user starting the program from a terminal gets one line instead.
        std::fprintf(stderr, "%s: %s\n", PRODUCT_FOLDER.data(), why.c_str());
        std::exit(1);
    }
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    PLATFORM_LaunchTokens();
    // A program that declares no DPI awareness sees 96 dpi on Windows and the system
    // scales its windows as a whole. Qt does the same for device-independent pixels:
    // whatever scale the desktop asks for (Xft.dpi, QT_SCALE_FACTOR, a Wayland output)
    // applies to the whole window, unrounded, while fonts and dialog units stay at 96 dpi.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    auto* app = new ShimApplication(g_argc, g_argv);
    QApplication::setQuitOnLastWindowClosed(false);
    DESKTOP_Identify();
    // The desktop's own sans font at the dialogs' 8 points; a wide font steps down
    // until its average letter is no wider than a dialog base unit, so that texts
    // fit the controls their templates made for them.
    QFont font = QApplication::font();
    constexpr double baseUnit = 6.0;
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    for (double points = 8.0; points >= 7.0; points -= 0.5) {
        font.setPointSizeF(points);
        if (QFontMetricsF(font).horizontalAdvance(letters) / letters.size() <= baseUnit) break;
    }
    QApplication::setFont(font);
    WS_LOG("app", "QApplication on platform %s", qPrintable(QGuiApplication::platformName()));
    return app;
}

QPoint APP_CursorPos() {
    return g_mouseDepth > 0 ? g_mousePos : QCursor::pos();
}
}  // namespace winshim
