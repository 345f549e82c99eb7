#pragma once

#include <QString>

/** What an alert shows. Empty texts leave their part out. */
struct AlertRequest {
    QString title;       // the title bar's text
    QString info;        // the headline, in skin markup
    QString message;     // the text below it, in skin markup
    QString icon;        // a skin image name ("icons\\error60.png"); none hides the icon column
    QString optionText;  // a check box under the text; none hides it
    QString okText;      // each button shows only with a text
    QString cancelText;
    QString otherText;
};

/** The button that ended an alert; the title bar's close button counts as Cancel. */
enum class AlertResult { Ok = 0, Cancel = 1, Other = 2 };
