#include "app/fileinspector.h"

#include <stb/stb_image_write.h>

#include <QAbstractItemModel>
#include <QDateTime>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLocale>
#include <QProgressBar>
#include <QToolTip>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/cimagewellui.h"
#include "app/clabelexui.h"
#include "app/mainwindowharness.h"
#include "app/platformfiletypes.h"
#include "app/preferences.h"
#include "support/imagebytes.h"
#include "temporarycachehome.h"
#include "temporarysettings.h"

namespace {

const QString kLongName =
    QStringLiteral("a rather long file name that cannot fit the inspector panel at all.txt");

// A PNG of one grey, width × height.
std::string picture(int width, int height) {
    const std::vector<uint8_t> pixels(static_cast<std::size_t>(width * height * 3), 0x80);
    std::string file;
    stbi_write_png_to_func(appendWritten<std::string>, &file, width, height, 3, pixels.data(),
                           width * 3);
    return file;
}

}  // namespace

/**
 * The inspector beside the main window's list against the simulator: /Media of a device with a
 * small and a large picture, and the thumbnail cache in a temporary folder.
 */
class FileInspectorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }

    void init() {
        settings_ = std::make_unique<TemporarySettings>();
        cacheHome_ = std::make_unique<TemporaryCacheHome>();
        device_ = std::make_unique<TestDevice>("Inspector Phone",
                                               "dddd000000000000000000000000000000000001");
        writeFile(media() / "small.png", picture(120, 90));
        writeFile(media() / "large.png", picture(400, 300));
        writeFile(media() / kLongName.toStdString(), "long");
    }
    void cleanup() {
        shown_.reset();
        device_.reset();
        cacheHome_.reset();
        settings_.reset();
    }

    void aFileShowsItsNameTypeSizeAndDatesAndAFolderNoSize() {
        showMedia();
        select("note.txt");
        QCOMPARE(label("fiFilename")->text(), QStringLiteral("note.txt"));
        QCOMPARE(label("fiFiletype")->text(),
                 toQString(PlatformFileTypes::typeName(u"note.txt", false)));
        QCOMPARE(label("fiFileSize")->text(), QStringLiteral("5 bytes"));
        QVERIFY(row("sizeRow")->isVisibleTo(&shown_->window));
        const QDateTime modifiedTime =
            QFileInfo(QString::fromStdString((media() / "note.txt").string())).lastModified();
        const QString modified = QLocale().toString(
            QDateTime::fromSecsSinceEpoch(modifiedTime.toSecsSinceEpoch()), QLocale::ShortFormat);
        QCOMPARE(label("fiFileModifiedDate")->text(), modified);
        QVERIFY(!label("fiFileCreationDate")->text().isEmpty());
        QVERIFY(!well()->iconImage().isNull());
        QVERIFY(well()->thumbnail().isNull());

        select("Books");
        QCOMPARE(label("fiFilename")->text(), QStringLiteral("Books"));
        QVERIFY(!row("sizeRow")->isVisibleTo(&shown_->window));
        QVERIFY(row("creationRow")->isVisibleTo(&shown_->window));
        QVERIFY(row("modifiedRow")->isVisibleTo(&shown_->window));

        // No selection: the panel is empty again.
        shown_->list()->selectItem(-1);
        QVERIFY(!label("fiFilename")->isVisibleTo(&shown_->window));
        QVERIFY(!row("sizeRow")->isVisibleTo(&shown_->window));
        QVERIFY(well()->iconImage().isNull() && well()->thumbnail().isNull());
    }

    void anImageShowsItsThumbnailAndSourceSizeOnceMadeThenFromTheCache() {
        showMedia();
        select("large.png");
        QVERIFY(progress()->isVisibleTo(&shown_->window));
        QTRY_VERIFY(!well()->thumbnail().isNull());
        QCOMPARE(well()->thumbnail().size(), QSize(200, 150));
        QCOMPARE(label("fiFileDimensions")->text(), QStringLiteral("400 x 300"));
        QVERIFY(label("fiFileDimensions")->isVisibleTo(&shown_->window));
        QVERIFY(!progress()->isVisibleTo(&shown_->window));
        // Larger than the well: scaled down to its width, keeping the aspect ratio, centred.
        const QRect drawn = well()->imageRect();
        QVERIFY(well()->contentsRect().contains(drawn));
        QCOMPARE(drawn.width(), well()->contentsRect().width());
        QCOMPARE(drawn.height(), drawn.width() * 3 / 4);

        // Asked again, it comes from the cache at once.
        select("note.txt");
        select("large.png");
        QCOMPARE(well()->thumbnail().size(), QSize(200, 150));
        QVERIFY(!progress()->isVisibleTo(&shown_->window));
    }

    void aPhonesPortraitHeicShowsUprightWithItsUprightSize() {
        std::filesystem::copy_file(
            std::filesystem::path(PLOVIK_HEIC_SAMPLES) / "portrait-thumbnail.heic",
            media() / "IMG_0001.HEIC");
        showMedia();
        select("IMG_0001.HEIC");
        QTRY_VERIFY(!well()->thumbnail().isNull());
        QCOMPARE(well()->thumbnail().size(), QSize(150, 200));
        QCOMPARE(label("fiFileDimensions")->text(), QStringLiteral("1536 x 2048"));
        // The red corner drawn at the upright picture's top left.
        const QColor corner = well()->thumbnail().pixelColor(2, 2);
        QVERIFY2(corner.red() > 170 && corner.green() < 90, qPrintable(corner.name()));
        QVERIFY(!progress()->isVisibleTo(&shown_->window));
    }

    void aPhonesPortraitVideoShowsUprightWithItsSizeAndDuration() {
        std::filesystem::copy_file(std::filesystem::path(PLOVIK_VIDEO_SAMPLES) / "portrait.mov",
                                   media() / "IMG_0002.MOV");
        writeFile(media() / "IMG_0003.MOV", std::string(100'000, 'x'));
        // A long video made into a thumbnail before.
        writeFile(media() / "long.mov", "movie");
        ThumbnailCache(cacheHome_->thumbnailFolder())
            .writeThumbnail(CZelboString::fromUtf8(device_->udid() + "//Media/long.mov"),
                            RgbaImage{2, 1, std::vector<uint8_t>(8, 255)}, {1920, 1080},
                            std::chrono::milliseconds(3'722'600));
        showMedia();
        select("IMG_0002.MOV");
        QTRY_VERIFY(!well()->thumbnail().isNull());
        QCOMPARE(well()->thumbnail().size(), QSize(113, 200));
        QCOMPARE(label("fiFileDimensions")->text(), QStringLiteral("360 x 640, 0:02"));
        const QColor corner = well()->thumbnail().pixelColor(2, 2);
        QVERIFY2(corner.red() > 170 && corner.green() < 90, qPrintable(corner.name()));

        // A file named as a video that is none keeps its type icon and shows no size.
        select("IMG_0003.MOV");
        QTRY_VERIFY(!progress()->isVisibleTo(&shown_->window));
        QVERIFY(well()->thumbnail().isNull());
        QVERIFY(!well()->iconImage().isNull());
        QVERIFY(!label("fiFileDimensions")->isVisibleTo(&shown_->window));

        // A long video's duration has hours; a picture's size has no duration.
        select("long.mov");
        QCOMPARE(label("fiFileDimensions")->text(), QStringLiteral("1920 x 1080, 1:02:03"));
        select("small.png");
        QTRY_COMPARE(label("fiFileDimensions")->text(), QStringLiteral("120 x 90"));
    }

    void aThumbnailMadeAfterAnotherSelectionIsNeverShown() {
        showMedia();
        // The first read is ended early or its answer dropped.
        select("large.png");
        select("note.txt");
        QTest::qWait(300);
        QVERIFY(well()->thumbnail().isNull());
        QVERIFY(!label("fiFileDimensions")->isVisibleTo(&shown_->window));
        QVERIFY(!progress()->isVisibleTo(&shown_->window));

        // Of two pictures selected in turn, only the second one's shows.
        fs::remove_all(cacheHome_->thumbnailFolder());
        select("large.png");
        select("small.png");
        QTRY_VERIFY(!well()->thumbnail().isNull());
        QTest::qWait(200);
        QCOMPARE(well()->thumbnail().size(), QSize(120, 90));
        QCOMPARE(label("fiFileDimensions")->text(), QStringLiteral("120 x 90"));
    }

    void noThumbnailWorkWhileThumbnailsAreOffOrThePanelIsHidden() {
        Preferences::writeSwitch(Preferences::Switch::GenerateThumbnail, false);
        showMedia();
        select("small.png");
        QTest::qWait(300);
        QVERIFY(well()->thumbnail().isNull());
        QVERIFY(!well()->iconImage().isNull());
        QVERIFY(!label("fiFileDimensions")->isVisibleTo(&shown_->window));

        Preferences::writeSwitch(Preferences::Switch::GenerateThumbnail, true);
        shown_->window.findChild<QWidget*>(QStringLiteral("fileInspector"))->hide();
        select("large.png");
        QTest::qWait(300);
        QCOMPARE(entryCount(cacheHome_->thumbnailFolder()), 0);
        QVERIFY(!label("fiFilename")->isVisibleTo(&shown_->window));
    }

    void aLongNameIsShortenedInTheMiddleWithTheWholeNameAsToolTip() {
        showMedia();
        select(kLongName);
        auto* name = qobject_cast<CLabelExUI*>(label("fiFilename"));
        QVERIFY(name && name->pathEllipsis());
        QCOMPARE(name->text(), kLongName);
        QCOMPARE(name->toolTip(), kLongName);
        const QString shown = name->shownText();
        QVERIFY2(shown.size() < kLongName.size() && shown.contains(QChar(0x2026)),
                 qPrintable(shown));
        QVERIFY(shown.startsWith(kLongName.left(4)) && shown.endsWith(QStringLiteral(".txt")));
        // The name never widens the panel.
        QVERIFY(name->width() <= name->parentWidget()->width());

        // Without a tool tip of its own, a shortened label shows its whole text as one.
        CLabelExUI type(&shown_->window);
        type.setProperty("pathellipsis", QStringLiteral("yes"));
        QVERIFY(!type.pathEllipsis());
        type.setProperty("pathellipsis", QStringLiteral("true"));
        QVERIFY(type.pathEllipsis());
        type.setText(kLongName);
        type.setGeometry(0, 0, 80, 20);
        type.show();
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), type.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&type, &help);
        QTRY_COMPARE(QToolTip::text(), kLongName);
    }

    void aDeviceThatGoesAwayEmptiesThePanel() {
        showMedia();
        select("small.png");
        QTRY_VERIFY(!well()->thumbnail().isNull());
        device_->unplug();
        QTRY_VERIFY(!label("fiFilename")->isVisibleTo(&shown_->window));
        QVERIFY(well()->thumbnail().isNull());
        QVERIFY(!label("fiFileDimensions")->isVisibleTo(&shown_->window));
    }

private:
    fs::path media() const { return fs::path(device_->path()) / "Media"; }
    void showMedia() {
        shown_ = std::make_unique<Window>();
        device_->plug();
        QTRY_COMPARE(shown_->window.devices().size(), std::size_t{1});
        QVERIFY(shown_->window.openDevicePath(QStringLiteral("/Media")));
    }
    void select(const QString& name) {
        QAbstractItemModel* model = shown_->list()->currentView()->model();
        for (int item = 0; item < model->rowCount(); ++item) {
            if (model->index(item, 0).data().toString() == name) {
                shown_->list()->selectItem(item);
                return;
            }
        }
        QFAIL(qPrintable(QStringLiteral("no item ") + name));
    }
    QLabel* label(const char* name) const {
        return shown_->window.findChild<QLabel*>(QLatin1String(name));
    }
    QWidget* row(const char* name) const {
        return shown_->window.findChild<QWidget*>(QLatin1String(name));
    }
    CImageWellUI* well() const {
        return shown_->window.findChild<CImageWellUI*>(QStringLiteral("fileThumbnail"));
    }
    QProgressBar* progress() const {
        return shown_->window.findChild<QProgressBar*>(QStringLiteral("fileThumbProgress"));
    }

    std::unique_ptr<TemporarySettings> settings_;
    std::unique_ptr<TemporaryCacheHome> cacheHome_;
    std::unique_ptr<TestDevice> device_;
    std::unique_ptr<Window> shown_;
};

QTEST_MAIN(FileInspectorTest)
#include "fileinspector_test.moc"
