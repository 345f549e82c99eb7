#pragma once

#include <QString>

#include "ui/skinneddialog.h"

class QKeyEvent;

/**
 * The name-entry dialog ("confirmdialog.xml"): a prompt over the edit field "filename". OK or
 * Enter confirm it (result 1) and keep the field's text; Cancel, the close button and Escape end
 * it with result 0.
 */
class CConfirmDialog : public SkinnedDialog {
    Q_OBJECT
public:
    CConfirmDialog(QWidget* owner, const QString& title, const QString& prompt,
                   const QString& initialText);

    /**
     * Asks modally for a name; returns the text entered when confirmed, else an empty text (so a
     * confirmed empty field and a cancel look the same). GUI thread only.
     */
    static QString askName(QWidget* owner, const QString& title, const QString& prompt,
                           const QString& initialText);

    /** The field's text as it was confirmed; empty until then. */
    QString enteredText() const { return enteredText_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void confirm();

    QString enteredText_;
};
