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
            std::string bytes = device_.faults().malformedPlists()
                                    ? framed("<?xml version=\"1.0\"?><plist><dict><key>")
                                : device_.faults().deepPlists() ? framed(nestedBinaryPlist(10000))
                                                                : framedPlist(answer.get());
            if (device_.faults().oversizedReplies()) {
                // The length says nearly 4 GiB; the message that follows is the usual one.
                bytes.replace(0, 4, "\xFF\xFF\xFF\xF0", 4);
            }
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
