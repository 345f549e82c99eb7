#include "ui/skin.h"

#include <iterator>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextDocument>

#include "ui/markupresources.h"

// Outside any namespace: the macro declares the resource's initialiser at block scope.
static void registerSkinResources() {
    Q_INIT_RESOURCE(skin);
}

namespace {

struct FontEntry {
    int pixelSize;
    QFont::Weight weight;
};

// Index 5 and 6 are the tree's device and folder rows.
constexpr FontEntry kFonts[] = {
    {13, QFont::Normal},    // 0 body text
    {13, QFont::DemiBold},  // 1 emphasis
    {12, QFont::Normal},    // 2 small print
    {13, QFont::DemiBold},  // 3 window titles
    {15, QFont::DemiBold},  // 4 headlines
    {13, QFont::Medium},    // 5 device rows
    {13, QFont::Normal},    // 6 folder rows
};

QString resourceIfPresent(const QString& path) {
    return QFile::exists(path) ? path : QString();
}

}  // namespace

void Skin::initialise() {
    static const bool done = [] {
        registerSkinResources();
        QTextDocument::setDefaultResourceProvider(&MarkupResources::load);
        return true;
    }();
    Q_UNUSED(done);
}

QString Skin::layoutPath(const QString& fileName) {
    initialise();
    return QStringLiteral(":/skin/") + fileName;
}

QString Skin::imagePath(const QString& imageName) {
    initialise();
    QString name = imageName;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    if (name.isEmpty() || name.contains(QLatin1String("..")))
        return {};
    const QString direct = QStringLiteral(":/skin/") + name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > name.lastIndexOf(QLatin1Char('/'))) {
        const QString svg =
            resourceIfPresent(QStringLiteral(":/skin/") + name.left(dot) + QStringLiteral(".svg"));
        if (!svg.isEmpty())
            return svg;
    }
    return resourceIfPresent(direct);
}

QPixmap Skin::pixmap(const QString& imageName, QSize size, qreal devicePixelRatio) {
    const QString path = imagePath(imageName);
    if (path.isEmpty())
        return {};
    if (!path.endsWith(QLatin1String(".svg"))) {
        QPixmap loaded(path);
        return size.isEmpty() ? loaded : loaded.scaled(size * devicePixelRatio);
    }
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    const QSize logical = size.isEmpty() ? renderer.defaultSize() : size;
    QImage image((QSizeF(logical) * devicePixelRatio).toSize(),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(image);
}

QPixmap Skin::stripFrame(const QString& imageName, int count, int index, qreal devicePixelRatio) {
    if (count < 1 || index < 0 || index >= count)
        return {};
    const QPixmap strip = pixmap(imageName, {}, devicePixelRatio);
    if (strip.isNull())
        return {};
    const int frameWidth = strip.width() / count;
    QPixmap frame = strip.copy(index * frameWidth, 0, frameWidth, strip.height());
    frame.setDevicePixelRatio(devicePixelRatio);
    return frame;
}

QFont Skin::font(int index) {
    const bool known = index >= 0 && index < static_cast<int>(std::size(kFonts));
    const FontEntry& entry = kFonts[known ? index : 0];
    QFont font = QGuiApplication::font();
    font.setPixelSize(entry.pixelSize);
    font.setWeight(entry.weight);
    return font;
}

QString Skin::styleSheet() {
    initialise();
    QFile file(QStringLiteral(":/skin/style.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}
