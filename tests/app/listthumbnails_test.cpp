#include "app/listthumbnails.h"

#include <stb/stb_image_write.h>

#include <QAbstractItemModel>
#include <memory>
#include <vector>

#include "app/filelistitemdelegate.h"
#include "app/filelistmodel.h"
#include "app/mainwindowharness.h"
#include "app/preferences.h"
#include "app/viewstyle.h"
#include "support/imagebytes.h"
#include "temporarycachehome.h"
#include "temporarysettings.h"

namespace {

constexpr QRgb kPhotoColour = 0xFFDC1E28;

// A JPEG of one colour, 120 × 90: it fits the thumbnail box as it is.
std::string photo() {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 120 * 90; ++i) {
        pixels.insert(pixels.end(), {static_cast<uint8_t>(qRed(kPhotoColour)),
                                     static_cast<uint8_t>(qGreen(kPhotoColour)),
                                     static_cast<uint8_t>(qBlue(kPhotoColour))});
    }
    std::string file;
    stbi_write_jpg_to_func(appendWritten<std::string>, &file, 120, 90, 3, pixels.data(), 95);
    return file;
}

bool nearPhotoColour(const QColor& colour) {
    return std::abs(colour.red() - qRed(kPhotoColour)) < 12 &&
           std::abs(colour.green() - qGreen(kPhotoColour)) < 12 &&
           std::abs(colour.blue() - qBlue(kPhotoColour)) < 12;
}

}  // namespace

/**
 * The file list's large styles against the simulator: a photo in /Media of the device, the
 * window in Extra Large Icons, and the thumbnail cache in a temporary folder.
 */
class ListThumbnailsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { MobileDeviceLibrary::instance().setLibraryFile(PLOVIK_SIM_LIBRARY); }

    void init() {
        settings_ = std::make_unique<TemporarySettings>();
        Preferences::writeViewStyle(static_cast<std::uint32_t>(ViewStyle::ExtraLargeIcons));
        cacheHome_ = std::make_unique<TemporaryCacheHome>();
        device_ =
            std::make_unique<TestDevice>("Photo Phone", "cccc000000000000000000000000000000000001");
        writeFile(fs::path(device_->path()) / "Media/photo.jpg", photo());
    }
    void cleanup() {
        shown_.reset();
        device_.reset();
        cacheHome_.reset();
        settings_.reset();
    }

    void thumbnailOfAPhotoArrivesAndIsDrawn() {
        showMedia();
        const int row = photoRow();
        QVERIFY(row >= 0);
        QTRY_VERIFY(!thumbnailOf(row).isNull());
        QCOMPARE(thumbnailOf(row).size(), QSize(120, 90));
        QVERIFY2(nearPhotoColour(pixelAtImageOf(row)), qPrintable(pixelAtImageOf(row).name()));
        QCOMPARE(entryCount(cacheHome_->thumbnailFolder()),
                 2);  // the thumbnail and its source size
    }

    void nothingIsAskedWhileThumbnailsAreOff() {
        Preferences::writeSwitch(Preferences::Switch::GenerateThumbnail, false);
        showMedia();
        const int row = photoRow();
        QVERIFY(row >= 0);
        QTest::qWait(300);
        QVERIFY(thumbnailOf(row).isNull());
        QVERIFY(!nearPhotoColour(pixelAtImageOf(row)));
        QCOMPARE(entryCount(cacheHome_->thumbnailFolder()), 0);
    }

    void aThumbnailAskedBeforeAReloadIsDropped() {
        showMedia();
        const int row = photoRow();
        QVERIFY(row >= 0);
        QTRY_VERIFY(!thumbnailOf(row).isNull());
        fs::remove_all(cacheHome_->thumbnailFolder());

        // Hidden, the list asks for nothing itself.
        CListviewControl* list = shown_->list();
        list->hide();
        const std::uint32_t before = list->generation();
        list->reload();
        auto* thumbnails = shown_->window.findChild<ListThumbnails*>();
        QVERIFY(thumbnails);
        thumbnails->requestThumbnail(row, before);
        QTRY_COMPARE(entryCount(cacheHome_->thumbnailFolder()), 2);
        QTest::qWait(200);
        QVERIFY(thumbnailOf(row).isNull());

        // Shown again, the row asks in the list's generation and gets it from the cache.
        list->show();
        QTRY_VERIFY(!thumbnailOf(row).isNull());
    }

    void aRowAskedBeforeAStyleChangeStillGetsItsThumbnail() {
        // Unreadable at first; the row has asked and will not ask again before a reload.
        const fs::path file = fs::path(device_->path()) / "Media/photo.jpg";
        const std::string real = photo();
        writeFile(file, std::string(real.size(), 'x'));
        showMedia();
        const int row = photoRow();
        QVERIFY(row >= 0);
        QTest::qWait(300);
        QVERIFY(thumbnailOf(row).isNull());

        writeFile(file, real);
        shown_->window.showViewStyle(ViewStyle::LargeIcons);
        QTRY_VERIFY(!thumbnailOf(row).isNull());
        QVERIFY(nearPhotoColour(pixelAtImageOf(row, ViewStyle::LargeIcons)));
    }

private:
    void showMedia() {
        shown_ = std::make_unique<Window>();
        device_->plug();
        QTRY_COMPARE(shown_->window.devices().size(), std::size_t{1});
        QVERIFY(shown_->window.openDevicePath(QStringLiteral("/Media")));
    }
    QAbstractItemModel* model() const { return shown_->list()->currentView()->model(); }
    int photoRow() const {
        for (int row = 0; row < model()->rowCount(); ++row) {
            if (model()->index(row, 0).data().toString() == QStringLiteral("photo.jpg"))
                return row;
        }
        return -1;
    }
    QImage thumbnailOf(int row) const {
        return model()->index(row, 0).data(FileListModel::ThumbnailRole).value<QImage>();
    }
    QColor pixelAtImageOf(int row, ViewStyle style = ViewStyle::ExtraLargeIcons) const {
        QAbstractItemView* view = shown_->list()->currentView();
        const QRect image =
            FileListItemDelegate::imageRect(style, view->visualRect(model()->index(row, 0)));
        return view->viewport()->grab().toImage().pixelColor(image.center());
    }

    std::unique_ptr<TemporarySettings> settings_;
    std::unique_ptr<TemporaryCacheHome> cacheHome_;
    std::unique_ptr<TestDevice> device_;
    std::unique_ptr<Window> shown_;
};

QTEST_MAIN(ListThumbnailsTest)
#include "listthumbnails_test.moc"
