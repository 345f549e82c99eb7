#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include <QString>

#include "ui/skinneddialog.h"

class ThumbnailCacheStore;

/**
 * The preferences dialog ("preferences.xml"): the five switches, and the thumbnail cache's size
 * with a button that clears it once the user has said yes to it. OK (result 1) stores every
 * switch; Cancel and the close button (result 0) store nothing.
 *
 * The cache is sized on a worker thread when the dialog opens; closing first stops that thread
 * through its stop flag and waits for it, and its result is then never shown.
 */
class CPreferencesDialog : public SkinnedDialog {
    Q_OBJECT
public:
    /** Runs the step that deletes the cache's files, e.g. under a busy indicator. */
    using ClearingHook = std::function<void(const std::function<void()>& clearStep)>;

    /** `cache` must outlive the dialog. Without a hook, clearing simply runs. */
    CPreferencesDialog(QWidget* owner, ThumbnailCacheStore& cache, ClearingHook clearingHook = {});
    ~CPreferencesDialog() override;

    void done(int result) override;

protected:
    bool event(QEvent* event) override;

private:
    void loadSwitches();
    void storeSwitches();
    void startSizing();
    void stopSizing();
    bool confirmClearing();
    void clearCache();
    void showCacheText(const QString& text);
    void showCacheSize();

    ThumbnailCacheStore& cache_;
    ClearingHook clearingHook_;
    std::thread sizer_;
    std::atomic<bool> stopSizing_{false};
    std::atomic<std::uint64_t> cacheSize_{0};
};
