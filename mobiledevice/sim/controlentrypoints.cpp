// The control entry points of plovik_sim.h.

#include "plovik_sim.h"
#include "simulator.h"

#include <optional>
#include <string>

using plovik::sim::Simulator;

extern "C" {

int PlovikSimAttach(const char* folder) {
    return Simulator::instance().attach(folder);
}

int PlovikSimDetach(const char* udid) {
    return Simulator::instance().detach(udid);
}

int PlovikSimSetAccessState(const char* udid, int state) {
    return Simulator::instance().setAccessState(udid, state);
}

int PlovikSimSetFault(const char* entryPoint, int result) {
    if (entryPoint == nullptr || !Simulator::instance().controls().setFault(entryPoint, result)) {
        return kPlovikSimBadArgument;
    }
    return kPlovikSimOk;
}

int PlovikSimRefuseService(const char* serviceName, int refuse) {
    if (serviceName == nullptr) {
        return kPlovikSimBadArgument;
    }
    Simulator::instance().controls().setServiceRefused(serviceName, refuse != 0);
    return kPlovikSimOk;
}

int PlovikSimSetReplyChunking(size_t bytesPerPiece) {
    Simulator::instance().controls().setReplyPieceSize(bytesPerPiece);
    return kPlovikSimOk;
}

int PlovikSimStallReplies(int stall) {
    Simulator::instance().controls().setStalled(stall != 0);
    return kPlovikSimOk;
}

int PlovikSimStallFileOperations(int operations) {
    Simulator::instance().controls().setStalledFileOperations(operations);
    return kPlovikSimOk;
}

int PlovikSimSetBrowsePageSize(int apps) {
    if (apps < 1) {
        return kPlovikSimBadArgument;
    }
    Simulator::instance().controls().setBrowsePageSize(static_cast<size_t>(apps));
    return kPlovikSimOk;
}

int PlovikSimSetHouseArrestRefusal(const char* command, const char* errorName) {
    if (command == nullptr) {
        return kPlovikSimBadArgument;
    }
    std::optional<std::string> refusal;
    if (errorName != nullptr) {
        refusal = errorName;
    }
    return Simulator::instance().controls().setHouseArrestRefusal(command, std::move(refusal))
               ? kPlovikSimOk
               : kPlovikSimBadArgument;
}

int PlovikSimFlushNotifications(void) {
    return Simulator::instance().flushNotifications();
}

void PlovikSimReset(void) {
    Simulator::instance().reset();
}

}  // extern "C"
