#pragma once

#include <functional>

#include <QString>

#include "ui/skinneddialog.h"

class QKeyEvent;

/**
 * The name-entry dialog ("confirmdialog.xml"): a prompt over the edit field "filename". OK or
 * Enter confirm it (result 1) and keep the field's text; Cancel, the close button and Escape end
 * it with result 0. OK is disabled while the field is empty.
 */
class CConfirmDialog : public SkinnedDialog {
    Q_OBJECT
public:
    /** What of the initial text is selected: all of it, or a file name without its extension. */
    enum class Selection { All, NameWithoutExtension };
    /**
     * Acts on a confirmed name; false keeps the dialog open with the name typed (the check has
     * told the user why, over the dialog it is given).
     */
    using NameAction = std::function<bool(const QString& entered, QWidget* dialog)>;

    CConfirmDialog(QWidget* owner, const QString& title, const QString& prompt,
                   const QString& initialText, Selection selection = Selection::All);

    /**
     * Asks modally for a name; returns the text entered when confirmed, else an empty text (so a
     * confirmed empty field and a cancel look the same). With an action, a name is confirmed only
     * once the action took it. GUI thread only.
     */
    static QString askName(QWidget* owner, const QString& title, const QString& prompt,
                           const QString& initialText, const NameAction& action = {},
                           Selection selection = Selection::All);

    /** The field's text as it was confirmed; empty until then. */
    QString enteredText() const { return enteredText_; }
    void setNameAction(NameAction action) { action_ = std::move(action); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void confirm();

    NameAction action_;
    QString enteredText_;
};
