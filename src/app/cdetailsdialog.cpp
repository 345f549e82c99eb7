#include "app/cdetailsdialog.h"

#include <utility>
#include <vector>

#include <algorithm>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/qtextconversion.h"
#include "ui/layoutloader.h"
#include "values/nsarray.h"

using ZelboLib::NSDictionary;

namespace {

const QString kRowTemplate = QStringLiteral("detail_item.xml");
const QString kCopyText = QStringLiteral("Copy to Clipboard");
constexpr int kCopiedShownMs = 1500;

/** (key, value description) for every key of "allKeys", in its order. */
std::vector<std::pair<QString, QString>> detailLines(const NSDictionary& information) {
    std::vector<std::pair<QString, QString>> lines;
    const ZelboLib::Object* keys = information.objectForKey(u"allKeys");
    if (!keys || keys->typeCode() != ZelboLib::kTypeArray)
        return lines;
    const auto& keyArray = static_cast<const ZelboLib::NSArray&>(*keys);
    for (int index = 0; index < keyArray.count(); ++index) {
        const ZelboLib::Object* key = keyArray.objectAtIndex(index);
        if (!key)
            continue;
        const CZelboString name = key->description();
        const ZelboLib::Object* value = information.objectForKey(name);
        lines.emplace_back(toQString(name), value ? toQString(value->description()) : QString());
    }
    return lines;
}

QLabel* showText(const QWidget* row, const QString& name, const QString& text) {
    auto* label = row->findChild<QLabel*>(name);
    if (label) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setToolTip(text);
    }
    return label;
}

}  // namespace

CDetailsDialog::CDetailsDialog(QWidget* owner, const NSDictionary& information)
    : SkinnedDialog(QStringLiteral("details.xml"), owner), detailsText_(detailsText(information)) {
    setObjectName(QStringLiteral("DetailsWindow"));
    fillDetails(information);

    auto& routes = notifications();
    routes.on(NotificationType::Click, QStringLiteral("btnCancel"),
              [this](const Notification&) { reject(); });
    routes.on(NotificationType::Click, QStringLiteral("btnCopy"),
              [this](const Notification&) { copyDetails(); });
    // The title bar's close button closes the window, which rejects.
}

QString CDetailsDialog::detailsText(const NSDictionary& information) {
    QString text;
    for (const auto& [key, value] : detailLines(information))
        text += key + QStringLiteral(":\t\t\t") + value + QStringLiteral("\r\n");
    return text;
}

void CDetailsDialog::fillDetails(const NSDictionary& information) {
    auto* list = control<QListWidget>(QStringLiteral("details"));
    if (!list)
        return;
    list->clear();
    // Rows take the list's width, never more: values too long for it have their tool tip.
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    const auto lines = detailLines(information);
    LayoutLoader loader;
    int titleWidth = 0;
    int index = 0;
    for (const auto& [key, value] : lines) {
        QWidget* row = loader.loadLayout(kRowTemplate);
        if (!row)
            return;
        // The template's user data is the background of every second row.
        if (index % 2 == 1) {
            row->setAttribute(Qt::WA_StyledBackground);
            row->setStyleSheet(row->property("userData").toString());
        }
        if (QLabel* title = showText(row, QStringLiteral("title"), key)) {
            // Key names are never cut: the title column is as wide as the widest key.
            titleWidth = std::max({titleWidth, title->minimumWidth(),
                                   title->fontMetrics().horizontalAdvance(key) + 4});
        }
        showText(row, QStringLiteral("value"), value);
        auto* item = new QListWidgetItem(list);
        // The template fixes the row height through its minimum and maximum, not its hint.
        const QSize height =
            row->sizeHint().expandedTo(row->minimumSize()).boundedTo(row->maximumSize());
        item->setSizeHint(QSize(0, height.height()));
        list->setItemWidget(item, row);
        ++index;
    }
    for (int row = 0; row < list->count(); ++row) {
        if (auto* title =
                list->itemWidget(list->item(row))->findChild<QLabel*>(QStringLiteral("title")))
            title->setFixedWidth(titleWidth);
    }
}

void CDetailsDialog::copyDetails() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->setText(detailsText_);
    // A short "Copied" on the button says it worked.
    auto* button = control<QPushButton>(QStringLiteral("btnCopy"));
    if (!button)
        return;
    button->setText(QStringLiteral("Copied"));
    QTimer::singleShot(kCopiedShownMs, button, [button] { button->setText(kCopyText); });
}
