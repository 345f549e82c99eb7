#include "plistserviceserver.h"

#include "afcserver.h"
#include "plistframing.h"

namespace plovik::devemu {

void PlistServiceServer::serve(int socket) {
    std::string message;
    while (receiveFramed(socket, message)) {
        const Plist request = fromBytes(message);
        sim::ServiceReply reply = handler_.respond(request.get());
        for (const sim::PlistPtr& answer : reply.messages) {
            const std::string bytes = device_.faults().malformedPlists()
                                          ? framed("<?xml version=\"1.0\"?><plist><dict><key>")
                                          : framedPlist(answer.get());
            if (!device_.send(socket, bytes)) {
                return;
            }
        }
        if (reply.vendedFolder) {
            AfcServer(device_, std::move(reply.vendedFolder)).serve(socket);
            return;
        }
    }
}

}  // namespace plovik::devemu
