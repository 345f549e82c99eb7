#pragma once

#include <QLabel>

/**
 * A label ("LabelEx" in the layouts) with one extra layout attribute, "pathellipsis": "true" makes
 * it a single line in which a text too long for the label is shortened by an ellipsis in the
 * middle, keeping its start and its end; any other value draws it as a plain label. While it
 * shortens, the label asks for no more width than an ellipsis, so a long text never widens the
 * panel it sits in, and a shortened text without a tool tip of its own shows whole as its tool
 * tip.
 */
class CLabelExUI : public QLabel {
    Q_OBJECT
public:
    explicit CLabelExUI(QWidget* parent = nullptr);

    void setPathEllipsis(bool on);
    bool pathEllipsis() const { return pathEllipsis_; }
    /** The text as drawn at the label's present width: text(), or it shortened in the middle. */
    QString shownText() const;

    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textArea() const;

    bool pathEllipsis_ = false;
};
