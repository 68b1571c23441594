#include "Skin.h"

#include <QHash>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>
#include <memory>

// The artwork lives in a static library: its resources are registered by hand before the first use.
static void registerSkinResources() {
    static const bool once = [] {
        Q_INIT_RESOURCE(skin);
        return true;
    }();
    (void)once;
}

namespace trovander::skin {
namespace {

// One renderer per picture for the life of the process: the windows repaint often, parsing once is enough.
QSvgRenderer* rendererFor(const QString& rolePath) {
    static QHash<QString, std::shared_ptr<QSvgRenderer>> cache;
    auto it = cache.find(rolePath);
    if (it == cache.end()) {
        registerSkinResources();
        auto renderer = std::make_shared<QSvgRenderer>(rolePath);
        it = cache.insert(rolePath, renderer->isValid() ? renderer : nullptr);
    }
    return it->get();
}

QIcon iconFrom(const QString& rolePath, std::initializer_list<int> sizes) {
    QIcon icon;
    for (int side : sizes) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(painter, rolePath, QRectF(0, 0, side, side));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QString role(const QString& name) { return QStringLiteral(":/skin/") + name; }

void paint(QPainter& painter, const QString& rolePath, const QRectF& target) {
    if (QSvgRenderer* renderer = rendererFor(rolePath)) renderer->render(&painter, target);
}

bool exists(const QString& rolePath) { return rendererFor(rolePath) != nullptr; }

QIcon emblemIcon() { return iconFrom(role("emblem"), {16, 24, 32, 48, 64, 128, 256}); }
QIcon programmerIcon() { return iconFrom(role("frmAboutProgrammer/icon"), {16, 32, 64}); }

QFont font(Face face, double points, bool bold, bool italic) {
    QStringList families;
    switch (face) {
        case Face::Georgia:
            families = {"Georgia", "Gelasio", "Liberation Serif", "DejaVu Serif"};
            break;
        case Face::Arial:
            families = {"Arial", "Liberation Sans", "Arimo", "DejaVu Sans"};
            break;
        case Face::MsSansSerif:
            families = {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "DejaVu Sans"};
            break;
        case Face::Impact:
            families = {"Impact", "Oswald", "DejaVu Sans Condensed", "Liberation Sans Narrow"};
            break;
        case Face::TimesNewRoman:
            families = {"Times New Roman", "Liberation Serif", "Tinos", "DejaVu Serif"};
            break;
    }
    QFont f;
    f.setFamilies(families);
    f.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    // The heavy condensed face has no weight of its own in its stand-ins: their bold comes closest.
    f.setBold(bold || face == Face::Impact);
    f.setItalic(italic);
    return f;
}

}  // namespace trovander::skin
