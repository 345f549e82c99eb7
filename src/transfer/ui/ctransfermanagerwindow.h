#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "ui/skinneddialog.h"

class TransferHistoryModel;
class TransferHistoryStore;

/**
 * The transfer manager ("downloadmanager.xml"): every file a transfer tried, newest at the top,
 * each with a button that shows the local file in the desktop's file manager, and above them the
 * file being copied, with its progress. Non-modal and resizable in height (493 × 230 … 1000); it
 * deletes itself when closed.
 *
 * The rows are read from the history when the window opens; fill() adds the records added since,
 * so the owner calls it after each record (on the GUI thread). The file in progress is read from
 * the history a few times a second. GUI thread only.
 */
class CTransferManagerWindow : public SkinnedDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 493;
    static constexpr int kMinHeight = 230;
    static constexpr int kMaxHeight = 1000;

    /** `history` must outlive the window. */
    CTransferManagerWindow(QWidget* owner, TransferHistoryStore& history);
    ~CTransferManagerWindow() override;

    /** Puts rows for the records added since the last fill at the top. */
    void fill();
    /** Shows the history's file in progress at the top, or none. */
    void showFileInProgress();

    /**
     * Where a window of `size` goes beside its owner's frame: right edge 10 pixels inside the
     * owner's right edge, bottom edge 40 pixels above the owner's bottom edge.
     */
    static QPoint placement(const QRect& ownerFrame, QSize size);

private:
    void makeResizable();
    void setUpList();
    void addNewRecords();
    void revealFile(const QString& localFile);

    TransferHistoryStore& history_;
    TransferHistoryModel* model_ = nullptr;
};
