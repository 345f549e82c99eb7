#include "app/cdetailsdialog.h"

#include <utility>
#include <vector>

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>

#include "app/qtextconversion.h"
#include "ui/layoutloader.h"
#include "values/nsarray.h"

using ZelboLib::NSDictionary;

namespace {

const QString kRowTemplate = QStringLiteral("detail_item.xml");

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

void showText(const QWidget* row, const QString& name, const QString& text) {
    if (auto* label = row->findChild<QLabel*>(name)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
    }
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
    LayoutLoader loader;
    int index = 0;
    for (const auto& [key, value] : detailLines(information)) {
        QWidget* row = loader.loadLayout(kRowTemplate);
        if (!row)
            return;
        // The template's user data is the background of every second row.
        if (index % 2 == 1) {
            row->setAttribute(Qt::WA_StyledBackground);
            row->setStyleSheet(row->property("userData").toString());
        }
        showText(row, QStringLiteral("title"), key);
        showText(row, QStringLiteral("value"), value);
        auto* item = new QListWidgetItem(list);
        // The template fixes the row height through its minimum and maximum, not its hint.
        item->setSizeHint(
            row->sizeHint().expandedTo(row->minimumSize()).boundedTo(row->maximumSize()));
        list->setItemWidget(item, row);
        ++index;
    }
}

void CDetailsDialog::copyDetails() const {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(detailsText_);
}
