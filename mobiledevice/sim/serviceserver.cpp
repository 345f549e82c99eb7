#include "serviceserver.h"

#include "messagechannel.h"

#include <sys/socket.h>

namespace plovik::sim {

ServiceServer::ServiceServer(UniqueFd socket, std::unique_ptr<RequestHandler> handler,
                             const SimControls& controls, VendCallback onVend)
    : socket_(std::move(socket)),
      handler_(std::move(handler)),
      controls_(controls),
      onVend_(std::move(onVend)),
      thread_([this](std::stop_token stop) { run(stop); }) {}

ServiceServer::~ServiceServer() {
    stop();
    thread_.join();
}

void ServiceServer::stop() {
    thread_.request_stop();
    // Wakes a thread blocked reading its socket.
    ::shutdown(socket_.get(), SHUT_RDWR);
}

void ServiceServer::run(std::stop_token stop) {
    MessageChannel channel(socket_.get());
    while (!stop.stop_requested()) {
        PlistPtr request;
        if (!channel.read(request)) {
            return;
        }
        ServiceReply reply = handler_->respond(request.get());
        if (!controls_.waitWhileStalled(stop)) {
            return;
        }
        if (reply.vendedFolder) {
            onVend_(reply.vendedFolder);
        }
        for (const PlistPtr& message : reply.messages) {
            if (!channel.write(message.get(), controls_.replyPieceSize(), stop)) {
                return;
            }
        }
        if (reply.vendedFolder) {
            return;
        }
    }
}

}  // namespace plovik::sim
