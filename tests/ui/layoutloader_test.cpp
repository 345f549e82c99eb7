#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "ui/controls.h"
#include "ui/layoutloader.h"
#include "ui/qtestsuite.h"
#include "ui/skin.h"

class LayoutLoaderTest : public QObject {
    Q_OBJECT
private slots:
    void layoutsHoldTheirControls_data();
    void layoutsHoldTheirControls();
    void customControlsGetStandIns();
    void customControlsComeFromFactories();
    void missingLayoutsAndControlsAreSkipped();
    void hostTakesTheLayoutsSizes();
    void imageNamesMapToTheSkin_data();
    void imageNamesMapToTheSkin();
    void windowsFindTheImagesTheyName();
};

void LayoutLoaderTest::layoutsHoldTheirControls_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("controls");
    QTest::newRow("main window") << "mainwindow.xml"
                                 << QStringList{"titleBar",
                                                "btnClose",
                                                "btnMax",
                                                "btnMenu",
                                                "btnFeedback",
                                                "btnMin",
                                                "btnRestore",
                                                "labelTitle",
                                                "btnIcon",
                                                "mainSwitch",
                                                "contentsSwitch",
                                                "fileTreeview",
                                                "fileListview",
                                                "fileInspector",
                                                "statusBar",
                                                "btnViewstyle",
                                                "btnShowTasks",
                                                "statusTransfer",
                                                "progressTransfer",
                                                "btnBackward",
                                                "btnForward",
                                                "btnDownload",
                                                "btnUpload",
                                                "btnRefresh",
                                                "btnDelete",
                                                "btnDetails",
                                                "devicename",
                                                "serialNumber",
                                                "uuid",
                                                "battery",
                                                "charging",
                                                "iosverson",
                                                "firmware",
                                                "deviceicon",
                                                "usedCapacity",
                                                "freeCapacity",
                                                "totalCapacity",
                                                "fileThumbnail",
                                                "fileThumbProgress",
                                                "fiFileDimensions",
                                                "fiFilename",
                                                "fiFiletype",
                                                "fiFileCreationDate",
                                                "fiFileModifiedDate",
                                                "fiFileSize"};
    QTest::newRow("alert") << "alert.xml"
                           << QStringList{"titleLabel", "info",      "message",      "icon",
                                          "infoLeft",   "option",    "optionHolder", "footer",
                                          "btnOK",      "btnCancel", "btnOther",     "btnClose"};
    QTest::newRow("name entry") << "confirmdialog.xml"
                                << QStringList{"titleLabel", "info",      "filename",
                                               "btnOK",      "btnCancel", "btnClose"};
    QTest::newRow("progress") << "progresswindow.xml"
                              << QStringList{"titleLabel",          "btnCancel",
                                             "progressContainer",   "workingLabelFile",
                                             "workingProgress",     "workingLabel",
                                             "workingLabelOverall", "workingProgressOverall"};
    QTest::newRow("preferences") << "preferences.xml"
                                 << QStringList{"prefShowInspector",
                                                "prefSafeMode",
                                                "prefCheckUpdates",
                                                "prefShowTransferMessage",
                                                "prefGenerateThumbnail",
                                                "btnClearCache",
                                                "btnOK",
                                                "btnCancel",
                                                "btnClose"};
    QTest::newRow("about") << "about.xml"
                           << QStringList{"titleLabel", "aboutVersion", "urlEmail", "urlSite",
                                          "btnClose"};
    QTest::newRow("details") << "details.xml"
                             << QStringList{"details", "btnClose", "btnCancel", "btnCopy"};
    QTest::newRow("detail row") << "detail_item.xml" << QStringList{"title", "value"};
    QTest::newRow("transfers") << "downloadmanager.xml"
                               << QStringList{"titleLabel", "btnClose", "taskList"};
    QTest::newRow("transfer row") << "transfertask.xml"
                                  << QStringList{"btnTransfer", "filename", "datetime",
                                                 "btnOpenFolder"};
}

void LayoutLoaderTest::layoutsHoldTheirControls() {
    QFETCH(QString, file);
    QFETCH(QStringList, controls);
    LayoutLoader loader;
    const std::unique_ptr<QWidget> root(loader.loadLayout(file));
    QVERIFY2(root, qPrintable(loader.errorString()));
    for (const QString& name : controls) {
        QVERIFY2(Controls::find(root.get(), name), qPrintable(name));
    }
}

void LayoutLoaderTest::customControlsGetStandIns() {
    LayoutLoader loader;
    const std::unique_ptr<QWidget> root(loader.loadLayout(QStringLiteral("mainwindow.xml")));
    QVERIFY(root);
    QVERIFY(Controls::find<QListView>(root.get(), QStringLiteral("fileListview")));
    QVERIFY(Controls::find<QTreeView>(root.get(), QStringLiteral("fileTreeview")));
    QVERIFY(Controls::find<QLabel>(root.get(), QStringLiteral("fileThumbnail")));
    QVERIFY(Controls::find<QLabel>(root.get(), QStringLiteral("fiFilename")));
    // The storage bar is a container: its parts are found inside it.
    auto* capacity = Controls::find(root.get(), QStringLiteral("totalCapacity"));
    QVERIFY(capacity);
    QVERIFY(Controls::find<QLabel>(capacity, QStringLiteral("usedCapacity")));
}

void LayoutLoaderTest::customControlsComeFromFactories() {
    class FakeList : public QWidget {
    public:
        using QWidget::QWidget;
    };
    LayoutLoader loader;
    loader.setControlFactory(QStringLiteral("ListControl"),
                             [](QWidget* parent) { return new FakeList(parent); });
    const std::unique_ptr<QWidget> root(loader.loadLayout(QStringLiteral("mainwindow.xml")));
    auto* list = Controls::find(root.get(), QStringLiteral("fileListview"));
    QVERIFY(dynamic_cast<FakeList*>(list));
    // The layout's attributes reach the control as properties.
    QCOMPARE(list->property("itemtextcolor").toString(), QStringLiteral("#FF343434"));
}

void LayoutLoaderTest::missingLayoutsAndControlsAreSkipped() {
    LayoutLoader loader;
    QVERIFY(!loader.loadLayout(QStringLiteral("nosuchwindow.xml")));
    QVERIFY(!loader.loadLayout(QString()));
    QVERIFY(!loader.loadLayout(QStringLiteral("../style.qss")));

    const std::unique_ptr<QWidget> root(loader.loadLayout(QStringLiteral("alert.xml")));
    QVERIFY(!Controls::find<QCheckBox>(root.get(), QStringLiteral("nosuchcontrol")));
    QVERIFY(!Controls::find<QCheckBox>(root.get(), QStringLiteral("btnOK")));  // wrong kind
    QVERIFY(!Controls::find(nullptr, QStringLiteral("btnOK")));
    Controls::setVisible(root.get(), QStringLiteral("nosuchcontrol"), false);
    Controls::setEnabled(nullptr, QStringLiteral("btnOK"), false);
}

void LayoutLoaderTest::hostTakesTheLayoutsSizes() {
    QWidget host;
    LayoutLoader loader;
    QWidget* root = loader.loadInto(QStringLiteral("mainwindow.xml"), &host);
    QVERIFY(root);
    QCOMPARE(host.minimumSize(), QSize(640, 480));
    QCOMPARE(host.size(), QSize(1000, 680));
    QCOMPARE(host.windowTitle(), QStringLiteral("Plovik"));
    host.show();
    QVERIFY(!Controls::find(root, QStringLiteral("btnRestore"))->isVisible());
    QVERIFY(!Controls::find(root, QStringLiteral("statusTransfer"))->isVisible());
    QVERIFY(Controls::find(root, QStringLiteral("btnMax"))->isVisible());
}

void LayoutLoaderTest::imageNamesMapToTheSkin_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("backslashes") << "icons\\error60.png"
                                 << ":/skin/icons/error60.svg";
    QTest::newRow("slashes") << "viewstyle/details.png"
                             << ":/skin/viewstyle/details.svg";
    QTest::newRow("leading separator") << "\\tree_top.png"
                                       << ":/skin/tree_top.svg";
    QTest::newRow("svg by its own name") << "devices/iphone.svg"
                                         << ":/skin/devices/iphone.svg";
    QTest::newRow("unknown") << "icons\\nothing.png"
                             << "";
    QTest::newRow("outside the skin") << "../skin/logo.png"
                                      << "";
    QTest::newRow("empty") << ""
                           << "";
}

void LayoutLoaderTest::imageNamesMapToTheSkin() {
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(Skin::imagePath(name), path);
    QCOMPARE(Skin::pixmap(name).isNull(), path.isEmpty());
}

void LayoutLoaderTest::windowsFindTheImagesTheyName() {
    const QStringList names = {
        "icons\\error60.png",
        "icons\\help60.png",
        "icons\\info60.png",
        "tree_top.png",
        "tree_top_focused.png",
        "tree_expand.png",
        "treeicons\\itouch16.png",
        "treeicons\\iphone16.png",
        "treeicons\\ipad16.png",
        "devices\\itouch.png",
        "devices\\iphone.png",
        "devices\\ipad.png",
        "viewstyle\\details.png",
        "viewstyle\\medium_icons.png",
        "viewstyle\\large_icons.png",
        "viewstyle\\small_icons.png",
        "viewstyle\\tiles.png",
        "viewstyle\\extra_large_icons.png",
        "to_local.png",
        "to_device.png",
        "icon256.png",
    };
    for (const QString& name : names)
        QVERIFY2(!Skin::pixmap(name).isNull(), qPrintable(name));
}

PLOVIK_QTEST(LayoutLoaderTest)
#include "layoutloader_test.moc"
