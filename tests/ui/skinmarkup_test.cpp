#include <QImage>
#include <QLabel>
#include <QTest>

#include "ui/markupresources.h"
#include "ui/qtestsuite.h"
#include "ui/skin.h"
#include "ui/skinmarkup.h"

class SkinMarkupTest : public QObject {
    Q_OBJECT
private slots:
    void translatesMarkup_data();
    void translatesMarkup();
    void fontsComeFromTheSkin();
    void imageFramesAreCutFromTheStrip();
    void labelsResolveMarkupImages();
};

namespace {

QString spacer(int width, int height = 1) {
    return QStringLiteral(
               "<img src=\"skin:spacer?width=%1&amp;height=%2\" width=\"%1\" height=\"%2\" "
               "align=\"middle\"/>")
        .arg(width)
        .arg(height);
}

QString image(const QString& name, int count, int index) {
    return QStringLiteral("<img src=\"skin:%1?count=%2&amp;index=%3\" align=\"middle\"/>")
        .arg(name)
        .arg(count)
        .arg(index);
}

}  // namespace

void SkinMarkupTest::translatesMarkup_data() {
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("html");

    QTest::newRow("plain text is escaped") << "a < b & \"c\" > d"
                                           << "a &lt; b &amp; &quot;c&quot; &gt; d";
    QTest::newRow("line breaks") << "one\r\ntwo\n"
                                 << "one<br/>two<br/>";
    QTest::newRow("status line of a folder")
        << "<b>Folder</b><x 20><i>Create On:</i><x 4><b>Mon</b>"
        << "<b>Folder</b>" + spacer(20) + "<i>Create On:</i>" + spacer(4) + "<b>Mon</b>";
    QTest::newRow("braced spacing") << "{x 4}" << spacer(4);
    QTest::newRow("expander frame")
        << "<a><i tree_expand.png 3 1></a>"
        << "<a href=\"link\">" + image("tree_expand.png", 3, 1) + "</a>";
    QTest::newRow("braced icon") << "{i treeicons\\iphone16.png 1 0}x"
                                 << image("treeicons%5Ciphone16.png", 1, 0) + "x";
    QTest::newRow("image without frames") << "<i logo.png>" << image("logo.png", 1, 0);
    QTest::newRow("link with target") << "<a https://e.example/?a=1&b=2>site</a>"
                                      << "<a href=\"https://e.example/?a=1&amp;b=2\">site</a>";
    QTest::newRow("drawing routine keeps its space")
        << "{i width='16' height='16' function='0x0040a0b0'}" << spacer(16, 16);
    QTest::newRow("unknown tags stay text") << "<file> {y 2}"
                                            << "&lt;file&gt; {y 2}";
    QTest::newRow("bad spacing stays text") << "<x -3><x>"
                                            << "&lt;x -3&gt;&lt;x&gt;";
    QTest::newRow("bold needs angle brackets") << "{b}"
                                               << "{b}";
    QTest::newRow("unclosed tag stays text") << "<b>x</b"
                                             << "<b>x&lt;/b";
    QTest::newRow("empty") << ""
                           << "";
}

void SkinMarkupTest::translatesMarkup() {
    QFETCH(QString, markup);
    QFETCH(QString, html);
    QCOMPARE(SkinMarkup::toRichText(markup), html);
}

void SkinMarkupTest::fontsComeFromTheSkin() {
    const QFont headline = Skin::font(4);
    QCOMPARE(SkinMarkup::toRichText(u"<f 4>Name</f>"),
             QStringLiteral("<span style=\"font-size:%1px; font-weight:%2\">Name</span>")
                 .arg(headline.pixelSize())
                 .arg(static_cast<int>(headline.weight())));
    QCOMPARE(Skin::font(99), Skin::font(0));
}

void SkinMarkupTest::imageFramesAreCutFromTheStrip() {
    const QImage strip = Skin::pixmap(QStringLiteral("tree_expand.png")).toImage();
    QCOMPARE(strip.size(), QSize(48, 16));

    const auto frame = MarkupResources::load(MarkupResources::imageUrl("tree_expand.png", 3, 2));
    QCOMPARE(frame.value<QImage>().size(), QSize(16, 16));
    QCOMPARE(frame.value<QImage>(), strip.copy(32, 0, 16, 16));

    QVERIFY(MarkupResources::load(MarkupResources::imageUrl("tree_expand.png", 3, 3)).isNull());
    QVERIFY(MarkupResources::load(MarkupResources::imageUrl("missing.png", 1, 0)).isNull());
    QVERIFY(MarkupResources::load(QUrl(QStringLiteral("file:///etc/passwd"))).isNull());
    QCOMPARE(MarkupResources::load(MarkupResources::spacerUrl(30, 2)).value<QImage>().size(),
             QSize(30, 2));
}

void SkinMarkupTest::labelsResolveMarkupImages() {
    QLabel narrow;
    QLabel wide;
    SkinMarkup::show(&narrow, QStringLiteral("a<x 4>b"));
    SkinMarkup::show(&wide, QStringLiteral("a<x 104>b"));
    QCOMPARE(wide.sizeHint().width() - narrow.sizeHint().width(), 100);

    QLabel withIcon;
    SkinMarkup::show(&withIcon, QStringLiteral("<i tree_expand.png 3 0>"));
    QCOMPARE(withIcon.sizeHint().width() - withIcon.contentsMargins().left() -
                 withIcon.contentsMargins().right(),
             16);
}

PLOVIK_QTEST(SkinMarkupTest)
#include "skinmarkup_test.moc"
