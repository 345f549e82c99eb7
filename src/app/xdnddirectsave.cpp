#include "app/xdnddirectsave.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

namespace {

// Longer URIs than this are no path a target names.
constexpr std::uint32_t kMostUriBytes = 64 * 1024;

}  // namespace

const QString XdndDirectSave::kFormat = QStringLiteral("XdndDirectSave0");

std::unique_ptr<XdndDirectSave> XdndDirectSave::forThisDisplay() {
    const auto* x11 =
        qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    return std::unique_ptr<XdndDirectSave>(new XdndDirectSave(x11->connection()));
}

XdndDirectSave::XdndDirectSave(xcb_connection_t* connection)
    : connection_(connection),
      selectionAtom_(atom("XdndSelection")),
      propertyAtom_(atom("XdndDirectSave0")),
      textAtom_(atom("text/plain")) {}

std::uint32_t XdndDirectSave::atom(const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection_, cookie, nullptr);
    const std::uint32_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::uint32_t XdndDirectSave::ownSourceWindow() {
    const xcb_get_selection_owner_cookie_t cookie =
        xcb_get_selection_owner(connection_, selectionAtom_);
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(connection_, cookie, nullptr);
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t{XCB_WINDOW_NONE};
    std::free(reply);
    // A window of another client, left owning the selection by its own drag, is not ours to write.
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    if (owner == XCB_WINDOW_NONE || (owner & ~setup->resource_id_mask) != setup->resource_id_base)
        return XCB_WINDOW_NONE;
    return owner;
}

bool XdndDirectSave::offerName(const QString& name) {
    const xcb_window_t window = ownSourceWindow();
    if (window == XCB_WINDOW_NONE || propertyAtom_ == XCB_ATOM_NONE)
        return false;
    const QByteArray text = name.toUtf8();
    xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, window, propertyAtom_, textAtom_, 8,
                        static_cast<std::uint32_t>(text.size()), text.constData());
    xcb_flush(connection_);
    return true;
}

QByteArray XdndDirectSave::requestedUri() {
    const xcb_window_t window = ownSourceWindow();
    if (window == XCB_WINDOW_NONE || propertyAtom_ == XCB_ATOM_NONE)
        return {};
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection_, 0, window, propertyAtom_, XCB_GET_PROPERTY_TYPE_ANY, 0, kMostUriBytes / 4);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
    QByteArray uri;
    if (reply && reply->format == 8 && reply->bytes_after == 0) {
        uri = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                         xcb_get_property_value_length(reply));
    }
    std::free(reply);
    return uri;
}
