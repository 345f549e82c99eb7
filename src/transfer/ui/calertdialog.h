#pragma once

#include "transfer/ui/alertrequest.h"
#include "ui/skinneddialog.h"

class QKeyEvent;

/**
 * The alert ("alert.xml"): a title, a headline and a text in skin markup, an optional icon and
 * check box, and up to three buttons. Its result (`result()` after it ends) is an AlertResult.
 * Enter and Escape do not end it. The height follows the texts: the larger of the two texts' height
 * plus 10 and the icon's height, plus 102, or 122 with the check box.
 */
class CAlertDialog : public SkinnedDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 493;
    static constexpr int kChromeHeight = 102;
    static constexpr int kChromeHeightWithOption = 122;

    CAlertDialog(QWidget* owner, const AlertRequest& request);

    /**
     * Shows an alert modally over `owner` and returns the button pressed; `optionChecked`, when
     * given, receives whether the check box was ticked. GUI thread only: a worker that must ask
     * the user makes a blocking queued call to the GUI thread.
     */
    static AlertResult showAlert(QWidget* owner, const AlertRequest& request,
                                 bool* optionChecked = nullptr);

    bool isOptionChecked() const;

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill(const AlertRequest& request);
    void fitHeight(bool optionShown, bool iconShown);
};
