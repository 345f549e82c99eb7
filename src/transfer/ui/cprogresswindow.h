#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QString>

#include "ui/skinneddialog.h"

class BusyIndicator;
class QCloseEvent;
class QKeyEvent;
class QLabel;

/**
 * The window shown while a transfer or a delete runs ("progresswindow.xml", 493 × 230, centred on
 * its owner). In transfer mode it shows the current file with its progress and, once the owner
 * reports it, the batch's overall progress; in busy mode a single text over a busy indicator.
 *
 * Cancel (or a close button of the layout) only raises the cancel flag and signals it: the window
 * stays until its owner closes it. Escape, or the window system closing it, hides it at once and
 * signals closedEarly; the work goes on without a window. Enter does nothing. GUI thread only.
 */
class CProgressWindow : public SkinnedDialog {
    Q_OBJECT
public:
    enum class Mode { Transfer, Busy };

    static constexpr int kWidth = 493;
    static constexpr int kHeight = 230;

    CProgressWindow(QWidget* owner, Mode mode, const QString& title);
    ~CProgressWindow() override;

    Mode mode() const { return mode_; }
    bool cancelPressed() const { return cancelPressed_; }

    void done(int result) override;

public slots:
    /** The current file (transfer mode) or step (busy mode); elided in the middle to one line. */
    void setMessage(const QString& text);
    /** The current file's progress, 0 … 100; -1 when its size is unknown (a moving bar). */
    void setFilePercent(int percent);
    /**
     * The batch's progress: bytes done of the total (not above 0: unknown), the speed and the time
     * left when known, e.g. "12.30 MB of 1.02 GB — 31.40 MB/s — about 30 s left".
     */
    void setOverall(int64_t bytesDone, int64_t bytesTotal, double bytesPerSecond,
                    std::optional<int64_t> secondsLeft);

signals:
    void cancelClicked();
    void closedEarly();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void requestCancel();
    void closeEarly();
    void showLine(QLabel* label, const QString& text);
    void elide(QLabel* label);

    Mode mode_;
    bool cancelPressed_ = false;
    std::unique_ptr<BusyIndicator> busyIndicator_;
};
