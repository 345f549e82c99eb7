#pragma once

#include <QPointer>
#include <QString>
#include <QVariant>

/** The kinds of notification a control sends its window. */
enum class NotificationType {
    Click,            // a button was clicked
    Link,             // a link in a label was activated; wParam: its target
    ItemSelect,       // the current item changed; wParam: new index, lParam: previous index
    ItemClick,        // an item was clicked; wParam: its index
    ItemDoubleClick,  // an item was double-clicked; wParam: its index
    SelectChanged,    // the selection or the current page changed; wParam: the new index
    WindowInit,       // the window has loaded its layout
    Timer,            // a window timer fired; the control name is the timer's name
    Return,           // Enter was pressed in an edit field
    TextChanged,      // an edit field's text changed; wParam: the new text
};

/** One notification: what happened, to which control, with up to two values. */
struct Notification {
    NotificationType type = NotificationType::Click;
    QString control;
    QPointer<QObject> sender;
    QVariant wParam;
    QVariant lParam;
};
