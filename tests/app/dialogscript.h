#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <vector>

#include "transfer/ui/calertdialog.h"
#include "transfer/ui/cconfirmdialog.h"
#include "transfer/ui/cprogresswindow.h"

/**
 * Answers the dialogs a command opens, in order: each step waits for a visible top-level widget
 * of its kind and acts on it. What the alerts said is kept for the checks.
 */
class DialogScript : public QObject {
public:
    using Step = std::function<bool(QWidget*)>;  // true once it has acted on the widget

    DialogScript() {
        // Polled from a posted call, not the timer's own handler: a timer does not fire again
        // while its handler runs, and a step's dialog runs an event loop inside it.
        connect(&timer_, &QTimer::timeout, this, [this] {
            QMetaObject::invokeMethod(
                this, [this] { poll(); }, Qt::QueuedConnection);
        });
        timer_.start(10);
    }

    /**
     * Presses button of the next alert, ticking its check box when asked; runs before first,
     * while the alert still waits.
     */
    void alert(const char* button, bool tick = false, std::function<void()> before = {}) {
        steps_.push_back([this, button, tick, before](QWidget* widget) {
            auto* dialog = qobject_cast<CAlertDialog*>(widget);
            if (!dialog)
                return false;
            if (before)
                before();
            alerts.append(textOf(dialog, "info") + QStringLiteral(" | ") +
                          textOf(dialog, "message"));
            if (tick)
                dialog->findChild<QCheckBox*>(QStringLiteral("option"))->setChecked(true);
            dialog->findChild<QAbstractButton*>(QLatin1String(button))->click();
            return true;
        });
    }
    /** Types text into the next name-entry dialog and confirms it. */
    void name(const QString& text) {
        steps_.push_back([text](QWidget* widget) {
            auto* dialog = qobject_cast<CConfirmDialog*>(widget);
            if (!dialog)
                return false;
            dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(text);
            dialog->findChild<QAbstractButton*>(QStringLiteral("btnOK"))->click();
            return true;
        });
    }
    /** Cancels the next name-entry dialog (one an error left open), keeping what it holds. */
    void cancelName() {
        steps_.push_back([this](QWidget* widget) {
            auto* dialog = qobject_cast<CConfirmDialog*>(widget);
            if (!dialog)
                return false;
            keptNames.append(dialog->findChild<QLineEdit*>(QStringLiteral("filename"))->text());
            dialog->findChild<QAbstractButton*>(QStringLiteral("btnCancel"))->click();
            return true;
        });
    }
    /** Runs action on the next progress window shown. */
    void progress(std::function<void(CProgressWindow*)> action) {
        steps_.push_back([action](QWidget* widget) {
            auto* window = qobject_cast<CProgressWindow*>(widget);
            if (!window)
                return false;
            action(window);
            return true;
        });
    }
    bool finished() const { return steps_.empty(); }

    QStringList alerts;
    /** The names the dialogs held when cancelled. */
    QStringList keptNames;

private:
    static QString textOf(QWidget* dialog, const char* label) {
        auto* found = dialog->findChild<QLabel*>(QLatin1String(label));
        return found ? found->text() : QString();
    }
    void poll() {
        if (steps_.empty())
            return;
        // A step leaves the list before it acts: what it opens (an error over a name dialog
        // that stays) is for the steps after it, answered while it still runs.
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible())
                continue;
            Step step = std::move(steps_.front());
            steps_.erase(steps_.begin());
            if (step(widget))
                return;
            steps_.insert(steps_.begin(), std::move(step));
        }
    }

    QTimer timer_;
    std::vector<Step> steps_;
};

/** Whether a progress window is on screen. */
inline bool progressWindowShown() {
    const QWidgetList widgets = QApplication::topLevelWidgets();
    return std::any_of(widgets.begin(), widgets.end(), [](QWidget* widget) {
        return qobject_cast<CProgressWindow*>(widget) != nullptr && widget->isVisible();
    });
}

/**
 * Presses Escape in a window once it has the keyboard, as a user would. Sent before the window
 * system has made it active, the key would be taken by the window behind it (the file list's
 * Escape clears its selection).
 */
inline void pressEscape(QWidget* window) {
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Escape);
}
