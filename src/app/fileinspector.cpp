#include "app/fileinspector.h"

#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <algorithm>
#include <chrono>
#include <utility>

#include "app/cimagewellui.h"
#include "app/preferences.h"
#include "app/qtextconversion.h"
#include "fstree/filesystemnode.h"
#include "thumbs/thumbnailcachekey.h"
#include "thumbs/thumbnailimagerule.h"
#include "ui/controls.h"
#include "ui/localdatetext.h"
#include "values/bytesize.h"

using ZelboLib::FileSystemNode;

namespace {

// The size the type icon is drawn at in the well.
constexpr int kIconSize = 128;

QImage toQImage(const RgbaImage& image) {
    if (!image.isValid())
        return {};
    return QImage(image.pixels.data(), image.width, image.height, image.width * 4,
                  QImage::Format_RGBA8888)
        .copy();
}

// A video's length as players show it: "0:07", "12:03", "1:02:03", to the nearest second.
QString durationText(std::chrono::milliseconds duration) {
    const long long seconds = (duration.count() + 500) / 1000;
    const QString secondsText = QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(secondsText);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(secondsText);
}

void setText(QLabel* label, const QString& text) {
    if (label)
        label->setText(text);
}

// A label sits in a row with its caption; the row shows and hides as one.
void setRowVisible(QLabel* label, const QWidget* panel, bool visible) {
    if (!label)
        return;
    QWidget* row =
        label->parentWidget() && label->parentWidget() != panel ? label->parentWidget() : label;
    row->setVisible(visible);
}

}  // namespace

FileInspector::FileInspector(QWidget* panel, QObject* parent)
    : QObject(parent),
      panel_(panel),
      picture_(Controls::find<CImageWellUI>(panel, QStringLiteral("fileThumbnail"))),
      progress_(Controls::find<QProgressBar>(panel, QStringLiteral("fileThumbProgress"))),
      dimensions_(Controls::find<QLabel>(panel, QStringLiteral("fiFileDimensions"))),
      name_(Controls::find<QLabel>(panel, QStringLiteral("fiFilename"))),
      type_(Controls::find<QLabel>(panel, QStringLiteral("fiFiletype"))),
      created_(Controls::find<QLabel>(panel, QStringLiteral("fiFileCreationDate"))),
      modified_(Controls::find<QLabel>(panel, QStringLiteral("fiFileModifiedDate"))),
      size_(Controls::find<QLabel>(panel, QStringLiteral("fiFileSize"))) {
    clear();
}

FileInspector::~FileInspector() = default;

void FileInspector::clear() {
    cancelRead();
    ++token_;
    shown_.reset();
    showProgress(false);
    if (dimensions_)
        dimensions_->hide();
    if (picture_)
        picture_->clearImages();
    setTextsVisible(false);
}

void FileInspector::show(const NodePointer& node, bool isFolder) {
    if (!node || !panel_ || panel_->isHidden()) {
        clear();
        return;
    }
    // The same item again (the list tells of every change of focus): a request underway stays.
    if (node == shown_)
        return;
    cancelRead();
    ++token_;
    shown_ = node;
    showProgress(false);
    if (dimensions_)
        dimensions_->hide();
    showPicture(node, isFolder);
    showTexts(*node, isFolder);
}

void FileInspector::showPicture(const NodePointer& node, bool isFolder) {
    if (!picture_)
        return;
    picture_->clearImages();
    picture_->setIconImage(fileTypes_.icon(toQString(node->pathComponent()), isFolder)
                               .pixmap(kIconSize, kIconSize)
                               .toImage());
    if (isFolder || !inspectorWantsThumbnail(node->fullPath()) ||
        !Preferences::readSwitch(Preferences::Switch::GenerateThumbnail))
        return;
    requestThumbnail(node);
}

void FileInspector::cancelRead() {
    if (readCancelled_)
        *readCancelled_ = true;
    readCancelled_.reset();
}

void FileInspector::requestThumbnail(const NodePointer& node) {
    ThumbnailRequest request;
    request.node = node;
    readCancelled_ = std::make_shared<std::atomic<bool>>(false);
    request.cancelled = readCancelled_;
    request.progress = [this, token = token_](std::int64_t total, std::int64_t done) {
        QMetaObject::invokeMethod(
            this, [this, token, total, done] { showReadProgress(token, total, done); },
            Qt::QueuedConnection);
    };
    request.completion = [this, token = token_](const ThumbnailRequest& done) {
        // On the creator's thread: the news only travels to the user-interface thread. The
        // creator is joined before this object goes, so it is still here to take the call.
        QMetaObject::invokeMethod(
            this, [this, token, node = done.node] { thumbnailMade(token, node); },
            Qt::QueuedConnection);
    };
    if (std::optional<RgbaImage> cached = creator_.getThumbnail(std::move(request), true, false)) {
        readCancelled_.reset();
        showThumbnail(*cached, *node);
        return;
    }
    showProgress(true);
}

void FileInspector::thumbnailMade(std::uint64_t token, const NodePointer& node) {
    // Another item was shown meanwhile, or the panel was emptied.
    if (token != token_ || !readCancelled_)
        return;
    readCancelled_.reset();
    showProgress(false);
    ThumbnailRequest lookUp;
    lookUp.node = node;
    // Nothing when the file could not be made into a thumbnail: the type icon stays.
    if (const std::optional<RgbaImage> made =
            creator_.getThumbnail(std::move(lookUp), false, false))
        showThumbnail(*made, *node);
}

void FileInspector::showThumbnail(const RgbaImage& thumbnail, const FileSystemNode& node) {
    if (picture_)
        picture_->setThumbnail(toQImage(thumbnail));
    if (!dimensions_)
        return;
    const CZelboString key = thumbnailCacheKey(node);
    const std::optional<ImageSize> source = cache_.readImageSize(key);
    if (source) {
        QString text = QStringLiteral("%1 x %2").arg(source->width).arg(source->height);
        if (const std::optional<std::chrono::milliseconds> duration = cache_.readDuration(key))
            text += QStringLiteral(", ") + durationText(*duration);
        dimensions_->setText(text);
    }
    dimensions_->setVisible(source.has_value());
}

void FileInspector::showReadProgress(std::uint64_t token, std::int64_t total, std::int64_t done) {
    if (token != token_ || !readCancelled_ || !progress_ || total <= 0)
        return;
    progress_->setRange(0, 100);
    progress_->setValue(static_cast<int>((std::clamp<std::int64_t>(done, 0, total) * 200 + total) /
                                         (2 * total)));
    progress_->show();
}

void FileInspector::showProgress(bool busy) {
    if (!progress_)
        return;
    // Until the first read is reported, the bar shows only that the file is being opened.
    if (busy)
        progress_->setRange(0, 0);
    else
        progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setVisible(busy);
}

void FileInspector::showTexts(FileSystemNode& node, bool isFolder) {
    setTextsVisible(true);
    const QString name = toQString(node.name());
    setText(name_, name);
    if (name_)
        name_->setToolTip(name);
    setText(type_, toQString(PlatformFileTypes::typeName(node.pathComponent(), isFolder)));
    setText(created_, localDateText(node.creationTime()));
    setText(modified_, localDateText(node.modificationTime()));
    setRowVisible(size_, panel_, !isFolder);
    if (!isFolder)
        setText(size_, toQString(formatByteSize(node.fileSize())));
}

void FileInspector::setTextsVisible(bool visible) {
    for (QLabel* label : {name_, type_}) {
        if (label)
            label->setVisible(visible);
    }
    for (QLabel* label : {created_, modified_, size_})
        setRowVisible(label, panel_, visible);
}
