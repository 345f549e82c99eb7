#pragma once

#include <QString>

#include "ui/skinneddialog.h"
#include "values/nsdictionary.h"

/**
 * The device details dialog ("details.xml"): one row per key of the snapshot's "allKeys", in
 * order, every second row with the row template's background; "Copy to Clipboard" puts
 * "key:\t\t\tvalue\r\n" lines on the clipboard and says "Copied" for a moment. Modal over its
 * owner.
 */
class CDetailsDialog : public SkinnedDialog {
    Q_OBJECT
public:
    CDetailsDialog(QWidget* owner, const ZelboLib::NSDictionary& information);

    /** The clipboard text for information: one line per key of "allKeys". */
    static QString detailsText(const ZelboLib::NSDictionary& information);

private:
    void fillDetails(const ZelboLib::NSDictionary& information);
    void copyDetails();

    // Kept as text: the snapshot belongs to the device, which may go while the dialog is open.
    QString detailsText_;
};
