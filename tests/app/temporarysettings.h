#pragma once

#include <QSettings>
#include <QTemporaryDir>

/** Points the user's settings at an empty temporary folder while it lives. */
class TemporarySettings {
public:
    TemporarySettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder_.path());
    }

    /** Forgets every stored value. */
    void clear() { QSettings(QStringLiteral("Orvane"), QStringLiteral("Plovik")).clear(); }

    /** Stores a raw value, as another program or an older version might have. */
    void store(const QString& name, const QVariant& value) {
        QSettings(QStringLiteral("Orvane"), QStringLiteral("Plovik")).setValue(name, value);
    }

    QVariant stored(const QString& name) const {
        return QSettings(QStringLiteral("Orvane"), QStringLiteral("Plovik")).value(name);
    }

private:
    QTemporaryDir folder_;
};
