#include "ui/skinmarkup.h"

#include <QFont>
#include <QLabel>
#include <QRegularExpression>
#include <QStringList>

#include "ui/markupresources.h"
#include "ui/skin.h"

namespace {

QString imageTag(const QUrl& source, const QString& sizeAttributes = {}) {
    return QStringLiteral("<img src=\"") + source.toString(QUrl::FullyEncoded).toHtmlEscaped() +
           QLatin1Char('"') + sizeAttributes + QStringLiteral(" align=\"middle\"/>");
}

QString spacer(int width, int height) {
    return imageTag(MarkupResources::spacerUrl(width, height),
                    QStringLiteral(" width=\"%1\" height=\"%2\"").arg(width).arg(height));
}

bool toCount(const QString& text, int* value) {
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0;
}

// "file count index" or just "file".
QString positionalImage(const QStringList& args) {
    int count = 1;
    int index = 0;
    if (args.size() == 3) {
        if (!toCount(args[1], &count) || !toCount(args[2], &index))
            return {};
    } else if (args.size() != 1) {
        return {};
    }
    return imageTag(MarkupResources::imageUrl(args[0], count, index));
}

// "key='value' …": file, width and height; a drawing routine is not expressible in rich text, so
// an image without a file keeps its space blank.
QString attributeImage(QStringView args) {
    static const QRegularExpression attribute(QStringLiteral("(\\w+)\\s*=\\s*'([^']*)'"));
    QString file;
    int width = 0;
    int height = 0;
    auto matches = attribute.globalMatch(args.toString());
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString key = match.captured(1);
        const QString value = match.captured(2);
        if (key == QLatin1String("file"))
            file = value;
        if (key == QLatin1String("width"))
            toCount(value, &width);
        if (key == QLatin1String("height"))
            toCount(value, &height);
    }
    if (file.isEmpty())
        return width > 0 ? spacer(width, std::max(height, 1)) : QString();
    QString size;
    if (width > 0)
        size += QStringLiteral(" width=\"%1\"").arg(width);
    if (height > 0)
        size += QStringLiteral(" height=\"%1\"").arg(height);
    return imageTag(MarkupResources::imageUrl(file, 1, 0), size);
}

QString fontSpan(const QString& arg) {
    int index = 0;
    if (!toCount(arg, &index))
        return {};
    const QFont font = Skin::font(index);
    return QStringLiteral("<span style=\"font-size:%1px; font-weight:%2\">")
        .arg(font.pixelSize())
        .arg(static_cast<int>(font.weight()));
}

// The rich text of one tag (the text between its brackets), or an empty text when the tag is
// not one of the markup's.
QString translateTag(QStringView body, QChar opener) {
    const QStringView trimmed = body.trimmed();
    const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
    const QStringView name = space < 0 ? trimmed : trimmed.left(space);
    const QStringView rest = space < 0 ? QStringView() : trimmed.mid(space + 1).trimmed();
    const QStringList args = rest.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const bool angle = opener == QLatin1Char('<');

    if (name == QLatin1String("x")) {
        int width = 0;
        return args.size() == 1 && toCount(args[0], &width) ? spacer(width, 1) : QString();
    }
    if (name == QLatin1String("i") && !args.isEmpty()) {
        return rest.contains(QLatin1Char('=')) ? attributeImage(rest) : positionalImage(args);
    }
    if (!angle)
        return {};
    if (name == QLatin1String("b") && args.isEmpty())
        return QStringLiteral("<b>");
    if (name == QLatin1String("/b"))
        return QStringLiteral("</b>");
    if (name == QLatin1String("i"))
        return QStringLiteral("<i>");
    if (name == QLatin1String("/i"))
        return QStringLiteral("</i>");
    if (name == QLatin1String("f") && args.size() == 1)
        return fontSpan(args[0]);
    if (name == QLatin1String("/f"))
        return QStringLiteral("</span>");
    if (name == QLatin1String("a")) {
        const QString target = rest.isEmpty() ? QStringLiteral("link") : rest.toString();
        return QStringLiteral("<a href=\"") + target.toHtmlEscaped() + QStringLiteral("\">");
    }
    if (name == QLatin1String("/a"))
        return QStringLiteral("</a>");
    return {};
}

}  // namespace

QString SkinMarkup::toRichText(QStringView markup) {
    QString html;
    qsizetype plainStart = 0;
    const auto flushPlain = [&](qsizetype end) {
        QString plain = markup.mid(plainStart, end - plainStart).toString();
        plain.remove(QLatin1Char('\r'));
        html += plain.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    };
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const QChar c = markup[i];
        if (c != QLatin1Char('<') && c != QLatin1Char('{'))
            continue;
        const QChar closer = c == QLatin1Char('<') ? QLatin1Char('>') : QLatin1Char('}');
        const qsizetype end = markup.indexOf(closer, i + 1);
        if (end < 0)
            break;
        const QString translated = translateTag(markup.mid(i + 1, end - i - 1), c);
        if (translated.isEmpty())
            continue;
        flushPlain(i);
        html += translated;
        plainStart = end + 1;
        i = end;
    }
    flushPlain(markup.size());
    return html;
}

void SkinMarkup::show(QLabel* label, const QString& markup) {
    if (!label)
        return;
    Skin::initialise();
    label->setTextFormat(Qt::RichText);
    label->setText(toRichText(markup));
}
