#pragma once

#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The questions before a delete: the plain "Confirm to Delete", or, for items in the phone's
 * camera roll, what deleting there does and does not do (which the user may turn off for the
 * device); then, for Live Photos, whether their videos go too. GUI thread.
 */
class DeleteConfirmation {
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;

    /**
     * True when items are to be deleted; the videos of Live Photos the user chose to delete as
     * well are added to items.
     */
    static bool ask(QWidget* owner, std::vector<NodePointer>& items);

private:
    static bool askPlainly(QWidget* owner);
    /** Nothing when the user turned the warning off for the device. */
    static std::optional<bool> askAboutPhotoLibrary(QWidget* owner, const NodePointer& item);
    /** False when the user cancels. */
    static bool askAboutLivePhotos(QWidget* owner, std::vector<NodePointer>& items);
};
