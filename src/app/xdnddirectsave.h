#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

/**
 * The source's side of XDND direct save on this program's X connection: the window that owns
 * the XdndSelection (the window the toolkit drags from) carries the property XdndDirectSave0,
 * first the name the drag offers, then, once dropped, the file:// URI the target wants the item
 * saved at. Only a window of this connection is touched. GUI thread.
 */
class XdndDirectSave {
public:
    /** The format a drag offers for it; the target converts the selection to it. */
    static const QString kFormat;

    /** Null unless the program runs on X11. */
    static std::unique_ptr<XdndDirectSave> forThisDisplay();

    /** Offers name on the drag's source window; false while no drag of ours owns the selection. */
    bool offerName(const QString& name);
    /** What the target wrote into the property; empty when there is nothing or no drag of ours. */
    QByteArray requestedUri();

private:
    explicit XdndDirectSave(xcb_connection_t* connection);
    std::uint32_t atom(const char* name);
    /** The XdndSelection's owner when it is a window of this connection, else 0. */
    std::uint32_t ownSourceWindow();

    xcb_connection_t* connection_;
    std::uint32_t selectionAtom_;
    std::uint32_t propertyAtom_;
    std::uint32_t textAtom_;
};
