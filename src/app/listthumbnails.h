#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "app/steprunner.h"
#include "app/thumbnailrequester.h"
#include "app/viewstyle.h"
#include "thumbs/thumbcreator.h"
#include "thumbs/thumbnailcache.h"

class CListviewControl;

namespace ZelboLib {
class FileSystemNode;
}

/**
 * The file list's thumbnails. A request is answered at once from the user's thumbnail cache when
 * the file is there; otherwise the file goes to the creator's shared worker, and once it is made
 * the list gets it through thumbnailReady, on the user-interface thread, with the generation it
 * was asked for (the list drops older ones). Nothing is asked while the "GenerateThumbnail"
 * setting is off.
 *
 * The list asks for each row once per generation, so requests that a change of view style
 * dropped are asked again as soon as a style that shows thumbnails is on show.
 *
 * Stopping the creator waits for a read in progress, which a device that stopped answering holds
 * until its time-out: the wait runs under the step runner, so the window keeps painting and
 * handling its messages.
 *
 * GUI thread only. Destroying it waits for the creator's threads.
 */
class ListThumbnails : public QObject, public ThumbnailRequester {
    Q_OBJECT
public:
    using NodePointer = std::shared_ptr<ZelboLib::FileSystemNode>;
    /** The node of a list item that may get a thumbnail (a file); null for others. */
    using NodeOfItem = std::function<NodePointer(int item)>;

    /** waitRunner: runs the wait for the creator to stop, over the list (runDeviceStep unless set). */
    ListThumbnails(NodeOfItem nodeOfItem, CListviewControl& list, QObject* parent = nullptr,
                   StepRunner waitRunner = runDeviceStep);

    void requestThumbnail(int item, std::uint32_t generation) override;
    void thumbnailStillWanted(int item, std::uint32_t generation) override;
    void stopThumbnails() override;
    /** Stops the thumbnails in the making after the list changed to style. */
    void viewStyleChanged(ViewStyle style);

private:
    struct Unanswered {
        std::uint32_t generation = 0;
        NodePointer node;
    };

    void ask(int item, Unanswered asked);
    ThumbnailRequest requestFor(int item, const Unanswered& asked);
    void thumbnailMade(int item, std::uint32_t generation, const NodePointer& node);
    void stopCreator();

    NodeOfItem nodeOfItem_;
    CListviewControl& list_;
    StepRunner waitRunner_;
    bool stopping_ = false;
    ThumbnailCache cache_;
    ThumbCreator creator_{cache_};
    // The rows asked for and not answered with a thumbnail yet, by row.
    std::map<int, Unanswered> unanswered_;
};
