#include "app/listthumbnails.h"

#include <QAbstractItemView>
#include <QImage>
#include <QMetaObject>
#include <utility>

#include "app/clistviewcontrol.h"
#include "app/preferences.h"
#include "fstree/filesystemnode.h"
#include "thumbs/thumbnailimagerule.h"

namespace {

QImage toQImage(const RgbaImage& image) {
    return QImage(image.pixels.data(), image.width, image.height, image.width * 4,
                  QImage::Format_RGBA8888)
        .copy();
}

bool showsThumbnails(ViewStyle style) {
    return style == ViewStyle::LargeIcons || style == ViewStyle::ExtraLargeIcons ||
           style == ViewStyle::Tiles;
}

}  // namespace

ListThumbnails::ListThumbnails(NodeOfItem nodeOfItem, CListviewControl& list, QObject* parent,
                               StepRunner waitRunner)
    : QObject(parent),
      nodeOfItem_(std::move(nodeOfItem)),
      list_(list),
      waitRunner_(std::move(waitRunner)) {}

void ListThumbnails::requestThumbnail(int item, std::uint32_t generation) {
    if (!Preferences::readSwitch(Preferences::Switch::GenerateThumbnail))
        return;
    NodePointer node = nodeOfItem_(item);
    if (!node || !wantsThumbnail(node->pathComponent()))
        return;
    // The creator is busy stopping (the window paints meanwhile): asked once it has.
    if (stopping_) {
        unanswered_[item] = {generation, std::move(node)};
        return;
    }
    ask(item, {generation, std::move(node)});
}

void ListThumbnails::thumbnailStillWanted(int item, std::uint32_t generation) {
    if (stopping_)
        return;
    const auto asked = unanswered_.find(item);
    if (asked != unanswered_.end() && asked->second.generation == generation)
        creator_.bringForward(*asked->second.node);
}

void ListThumbnails::stopThumbnails() {
    stopCreator();
    unanswered_.clear();
}

void ListThumbnails::stopCreator() {
    stopping_ = true;
    waitRunner_(list_.currentView() ? list_.currentView()->viewport() : &list_,
                [this] { creator_.stopThumbnails(); });
    stopping_ = false;
}

void ListThumbnails::viewStyleChanged(ViewStyle style) {
    stopCreator();
    if (!showsThumbnails(style) || !Preferences::readSwitch(Preferences::Switch::GenerateThumbnail))
        return;
    const std::map<int, Unanswered> dropped = std::exchange(unanswered_, {});
    for (const auto& [item, asked] : dropped) {
        if (asked.generation == list_.generation())
            ask(item, asked);
    }
}

void ListThumbnails::ask(int item, Unanswered asked) {
    if (std::optional<RgbaImage> cached =
            creator_.getThumbnail(requestFor(item, asked), true, true)) {
        unanswered_.erase(item);
        list_.thumbnailReady(item, asked.generation, toQImage(*cached));
        return;
    }
    unanswered_[item] = std::move(asked);
}

ThumbnailRequest ListThumbnails::requestFor(int item, const Unanswered& asked) {
    ThumbnailRequest request;
    request.node = asked.node;
    request.tag1 = static_cast<std::uintptr_t>(item);
    request.tag2 = asked.generation;
    request.completion = [this](const ThumbnailRequest& done) {
        // On the creator's thread: the news only travels to the user-interface thread.
        QMetaObject::invokeMethod(
            this,
            [this, item = static_cast<int>(done.tag1),
             generation = static_cast<std::uint32_t>(done.tag2),
             node = done.node] { thumbnailMade(item, generation, node); },
            Qt::QueuedConnection);
    };
    return request;
}

void ListThumbnails::thumbnailMade(int item, std::uint32_t generation, const NodePointer& node) {
    // A reload came in between: the row may show another file now.
    if (generation != list_.generation())
        return;
    ThumbnailRequest lookUp;
    lookUp.node = node;
    // Nothing when the attempt failed or was stopped: the row keeps its icon.
    const std::optional<RgbaImage> made = creator_.getThumbnail(std::move(lookUp), false, true);
    if (!made)
        return;
    unanswered_.erase(item);
    list_.thumbnailReady(item, generation, toQImage(*made));
}
