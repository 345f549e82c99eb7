#include "app/mainwindowkeys.h"

#include <QApplication>
#include <QMouseEvent>
#include <QShortcut>
#include <array>
#include <functional>

#include "app/clistviewcontrol.h"
#include "app/cmainwindow.h"
#include "app/filecommands.h"
#include "app/filelistsource.h"
#include "app/viewstyle.h"

namespace {

void addShortcut(QWidget* scope, const QKeySequence& keys, Qt::ShortcutContext context,
                 std::function<void()> action) {
    auto* shortcut = new QShortcut(keys, scope);
    shortcut->setContext(context);
    QObject::connect(shortcut, &QShortcut::activated, scope, std::move(action));
}

}  // namespace

MainWindowKeys::MainWindowKeys(CMainWindow& window, CListviewControl* list)
    : QObject(&window), window_(window), list_(list) {
    const auto onWindow = [&window](const QKeySequence& keys, std::function<void()> action) {
        addShortcut(&window, keys, Qt::WindowShortcut, std::move(action));
    };
    onWindow(Qt::Key_F2, [&window] { window.fileCommands().rename(); });
    onWindow(Qt::Key_F5, [&window] { window.refresh(); });
    onWindow(QKeySequence(Qt::CTRL | Qt::Key_R), [&window] { window.refresh(); });
    onWindow(Qt::Key_Backspace, [&window] { window.goBack(); });
    onWindow(QKeySequence(Qt::ALT | Qt::Key_Left), [&window] { window.goBack(); });
    onWindow(QKeySequence(Qt::ALT | Qt::Key_Right), [&window] { window.goForward(); });
    onWindow(QKeySequence(Qt::ALT | Qt::Key_Up), [&window] { window.goUp(); });
    onWindow(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
             [&window] { window.fileCommands().newFolder(); });
    constexpr std::array kStyleKeys = {Qt::Key_1, Qt::Key_2, Qt::Key_3,
                                       Qt::Key_4, Qt::Key_5, Qt::Key_6};
    for (std::uint32_t code = 1; code <= kStyleKeys.size(); ++code) {
        onWindow(QKeySequence(Qt::CTRL | kStyleKeys[code - 1]), [&window, code] {
            if (const std::optional<ViewStyle> style = viewStyleFromCode(code))
                window.chooseViewStyle(viewStyleMenuItem(*style));
        });
    }
    if (list_) {
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            addShortcut(list_, key, Qt::WidgetWithChildrenShortcut, [this] { openSelectedFolder(); });
        // The keypad's Enter comes with the keypad modifier.
        addShortcut(list_, QKeySequence(Qt::KeypadModifier | Qt::Key_Enter),
                    Qt::WidgetWithChildrenShortcut, [this] { openSelectedFolder(); });
        addShortcut(list_, Qt::Key_Escape, Qt::WidgetWithChildrenShortcut,
                    [this] { list_->clearSelection(); });
    }
    qApp->installEventFilter(this);
}

bool MainWindowKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::MouseButtonPress || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != &window_)
        return false;
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() == Qt::BackButton) {
        window_.goBack();
        return true;
    }
    if (press->button() == Qt::ForwardButton) {
        window_.goForward();
        return true;
    }
    return false;
}

void MainWindowKeys::openSelectedFolder() {
    const QList<int> rows = list_->selectedItems();
    if (rows.size() == 1)
        window_.fileList().doubleClick(rows.front());
}
